// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Texts.h"

#include <QHash>
#include <QTranslator>
#include <QVarLengthArray>

#include "core/NumberText.h"

namespace {
int languageGeneration = 0;
Language languageInUse = Language::Chinese;

QString filled(const QString &text, int arg)
{
    return arg < 0 ? text : text.arg(arg);
}

// The English texts, for telling which text a caption shows whatever language is in use.
const QTranslator &EnglishTexts()
{
    static QTranslator english;
    static const bool loaded = english.load(text::EnglishCatalogue());
    (void)loaded;
    return english;
}
}  // namespace

QString text::EnglishCatalogue()
{
    // Built by lrelease from translations/trelmo_en.ts into the tool's resources.
    return QStringLiteral(":/i18n/trelmo_en.qm");
}

Language text::CurrentLanguage()
{
    return languageInUse;
}

void text::SetCurrentLanguage(Language language)
{
    languageInUse = language;
    LanguageChanged();
}

int text::LanguageGeneration()
{
    return languageGeneration;
}

void text::LanguageChanged()
{
    ++languageGeneration;
}

QString text::Text::in(Language language) const
{
    if (language == Language::English) {
        const QString english = EnglishTexts().translate("Trelmo", source);
        if (!english.isEmpty())
            return english;
    }
    return QString::fromUtf8(source);
}

bool text::Text::matches(const QString &shown, int arg) const
{
    return shown == filled(in(Language::Chinese), arg) || shown == filled(in(Language::English), arg);
}

QString text::InUse(const char *source, int arg)
{
    // Keyed by the text, not by where it is: a caption's source may come from a copy that is
    // gone after the call.
    static QHash<QByteArray, QString> known;
    static int generation = -1;
    if (generation != languageGeneration) {
        known.clear();
        generation = languageGeneration;
    }
    // Put together on the stack: looking a text up makes no string.
    QVarLengthArray<char, 96> key;
    key.append(source, qstrlen(source));
    if (arg >= 0) {
        DecimalBuffer digits;
        const QLatin1StringView number = DecimalDigits(arg, 1, digits);
        key.append('\0');
        key.append(number.data(), number.size());
    }
    const auto it = known.constFind(QByteArray::fromRawData(key.constData(), key.size()));
    if (it != known.cend())
        return *it;
    return *known.insert(QByteArray(key.constData(), key.size()),
                         filled(QCoreApplication::translate("Trelmo", source), arg));
}
