#include "filestore/preview.h"

#include "util/fileutil.h"

#include <QFileInfo>

namespace krtp {

QString MissingLocalFileNotice(const QString& fileName) {
    return fileName + QStringLiteral(" does not exist on the local hard drive!");
}

PreviewContent PreviewFor(const QString& fileName) {
    PreviewContent c;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : fileName.mid(dot + 1).toLower();
    const bool exists = !fileName.isEmpty() && QFileInfo(fileName).isFile();
    c.kind = PreviewContent::Text;
    if (!exists) {
        c.text = MissingLocalFileNotice(fileName);
        return c;
    }
    if (extension == QLatin1String("gif")) {
        c.kind = PreviewContent::Picture;
        c.picturePath = fileName;
    } else if (extension == QLatin1String("txt")) {
        QByteArray data;
        if (!ReadWholeFile(fileName, data))
            return {};
        c.text = QString::fromLatin1(data);
    } else {
        c.text = QStringLiteral("No Preview Availble: ") + fileName;
    }
    return c;
}

} // namespace krtp
