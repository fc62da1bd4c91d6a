#pragma once
// Qt's own texts (the standard buttons of message boxes, the file dialogs) in the tool's
// language. Qt brings them in English; Debian's qt6-translations-l10n holds the Chinese ones.
#include <QTranslator>

class QtLanguage {
public:
    // Installs Qt's Simplified Chinese texts for the windows made from now on; false when the
    // translation is missing (Qt's texts stay English). Installed until this object goes.
    bool useChinese();

private:
    QTranslator m_translator;
};
