#include "ui/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>

bool QtLanguage::useChinese()
{
    return m_translator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
           QCoreApplication::installTranslator(&m_translator);
}
