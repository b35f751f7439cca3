#include "tools/RootPath.h"

#include <cstdlib>

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
