#include "config/siteconfig.h"
#include "hostfixture.h"
#include "testfiles.h"
#include "testmain.h"

#include <QTemporaryDir>
#include <QTest>
#include <curl/curl.h>

using namespace krtp;
using namespace krtp::test;

namespace {

size_t collect(char* data, size_t size, size_t n, void* out) {
    static_cast<QByteArray*>(out)->append(data, qsizetype(size * n));
    return size * n;
}

struct Upload {
    QByteArray data;
    qsizetype pos = 0;
};

size_t supply(char* buffer, size_t size, size_t n, void* in) {
    auto* u = static_cast<Upload*>(in);
    const size_t take = std::min(size * n, size_t(u->data.size() - u->pos));
    memcpy(buffer, u->data.constData() + u->pos, take);
    u->pos += qsizetype(take);
    return take;
}

// Without a password: no login at all.
CURLcode fetch(const QString& url, QByteArray& out, const char* password = nullptr) {
    CURL* c = curl_easy_init();
    curl_easy_setopt(c, CURLOPT_URL, url.toUtf8().constData());
    if (password) {
        curl_easy_setopt(c, CURLOPT_USERNAME, "velmar");
        curl_easy_setopt(c, CURLOPT_PASSWORD, password);
    }
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &out);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    const CURLcode rc = curl_easy_perform(c);
    curl_easy_cleanup(c);
    return rc;
}

} // namespace

class TestHost : public QObject {
    Q_OBJECT
private slots:
    void uploadAndDownloadThroughTheHost() {
        HostFixture fx;
        QVERIFY(writeLocal(fx.seed.filePath(QStringLiteral("krg/_message.dat")), "2.0.5\r\nHello\r\n"));
        QVERIFY(fx.startHost());
        LoopbackHost& host = fx.host;
        QCOMPARE(siteConfig().ftpHost, host.ftpHost());
        QCOMPARE(siteConfig().baseUrl, host.baseUrl());

        // Upload a name with a blank over FTP and see it land byte by byte.
        const QByteArray payload("line one\r\nline two\x00\xff", 20);
        Upload up{payload};
        CURL* c = curl_easy_init();
        const QByteArray url = ("ftp://" + host.ftpHost() + "/krg/new%20file.txt").toUtf8();
        curl_easy_setopt(c, CURLOPT_URL, url.constData());
        curl_easy_setopt(c, CURLOPT_USERNAME, "velmar");
        curl_easy_setopt(c, CURLOPT_PASSWORD, "tolbek");
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, supply);
        curl_easy_setopt(c, CURLOPT_READDATA, &up);
        QCOMPARE(curl_easy_perform(c), CURLE_OK);
        curl_easy_cleanup(c);
        QCOMPARE(host.read(QStringLiteral("krg/new file.txt")), payload);

        QByteArray got;
        const QString ftp = QStringLiteral("ftp://") + host.ftpHost();
        QCOMPARE(fetch(ftp + QStringLiteral("/krg/_message.dat"), got, "tolbek"), CURLE_OK);
        QCOMPARE(got, QByteArray("2.0.5\r\nHello\r\n"));

        // The HTTP side serves the same root and ignores a query.
        got.clear();
        QCOMPARE(fetch(host.baseUrl() + QStringLiteral("krg/new%20file.txt?username=a&password=b"), got),
                 CURLE_OK);
        QCOMPARE(got, payload);

        // A wrong password is refused.
        QCOMPARE(fetch(ftp + QStringLiteral("/"), got, "wrong"), CURLE_LOGIN_DENIED);

        host.stop();
        QVERIFY(!host.running());
        got.clear();
        QVERIFY(fetch(host.baseUrl() + QStringLiteral("krg/_message.dat"), got) != CURLE_OK);
    }
};

KRTP_TEST_MAIN_CORE(TestHost)
#include "tst_host.moc"
