#include "tools/RootPath.h"

#include <cstdlib>
#include <sys/stat.h>

std::string sandboxRoot()
{
    const char* root = std::getenv("ORLENK_ROOT");
    if (!root || !*root)
        return "/";
    return root;
}

std::string rootPath(const std::string& absolutePath)
{
    std::string root = sandboxRoot();
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    if (root == "/")
        return absolutePath;
    if (absolutePath.empty() || absolutePath.front() != '/')
        return root + "/" + absolutePath;
    return root + absolutePath;
}

QString rootPath(const QString& absolutePath)
{
    return QString::fromStdString(rootPath(absolutePath.toStdString()));
}

QString rootPath(const char* absolutePath)
{
    return QString::fromStdString(rootPath(std::string(absolutePath)));
}

QString printerPath(const QString& sandboxedPath)
{
    QString root = QString::fromStdString(sandboxRoot());
    while (root.size() > 1 && root.endsWith('/'))
        root.chop(1);
    if (root == "/" || !sandboxedPath.startsWith(root + "/"))
        return sandboxedPath;
    return sandboxedPath.mid(root.size());
}

namespace {

std::string realPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string out(real);
    std::free(real);
    return out;
}

}

bool isStorageFile(const std::string& path)
{
    const std::string real = realPath(path);
    struct stat st;
    if (real.empty() || ::stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return isStoragePlace(real);
}

bool isStoragePlace(const std::string& real)
{
    for (const char* storage : {PrinterPath::Data, PrinterPath::Media}) {
        std::string folder = realPath(rootPath(std::string(storage)));
        if (folder.empty())
            continue;
        if (folder.back() != '/')
            folder += '/';
        if (real.compare(0, folder.size(), folder) == 0)
            return true;
    }
    return false;
}
