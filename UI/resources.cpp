#include "UI/resources.h"

#include "tools/Log.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <QTranslator>
#include <QtCore/qresource.h>

// Q_INIT_RESOURCE may not stand inside a namespace.
static void initIconResource()
{
    Q_INIT_RESOURCE(orlenk_icons);
}

void initOrlenkResources()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    initIconResource();
}

bool installOrlenkTranslator(const std::string& language)
{
    static QPointer<QTranslator> installed;
    const QString name = QString::fromStdString(language.empty() ? std::string("english") : language);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(":/Resource/translations/firmware_" + name)) {
        qWarning() << LOG_SRC("UI/resources.cpp") << "no translation for" << name;
        delete translator;
        return false;
    }
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed.data();
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
