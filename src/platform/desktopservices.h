#pragma once

#include <QString>
#include <QStringList>

namespace krtp {

// Starting things outside the program: documents, programs (always an argument list, never a shell
// string), the file manager and the browser.
class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    virtual bool openDocument(const QString& path) = 0;
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    virtual bool openFileManager(const QString& folder) = 0;
    virtual bool openUrl(const QString& url) = 0;
};

DesktopServices& desktopServices();
void setDesktopServices(DesktopServices* d);

} // namespace krtp
