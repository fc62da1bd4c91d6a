#include "ui/Language.h"

#include <QApplication>
#include <QByteArrayList>
#include <QGroupBox>
#include <QHash>
#include <QLibraryInfo>
#include <QVarLengthArray>
#include <QVariant>
#include <QWidget>

#include "ui/NumberText.h"

namespace {
// Built by lrelease from translations/trelmo_en.ts into the tool's resources.
const QString EnglishCatalogue = QStringLiteral(":/i18n/trelmo_en.qm");
// Where a widget keeps the source texts its caption may show, and the number put into them.
constexpr char TextsProperty[] = "captionTexts";
constexpr char ArgProperty[] = "captionArg";

// The English texts, for telling which text a caption shows whatever language is in use.
const QTranslator &EnglishTexts()
{
    static QTranslator english;
    static const bool loaded = english.load(EnglishCatalogue);
    (void)loaded;
    return english;
}

int languageGeneration = 0;
Language languageInUse = Language::Chinese;

const char *captionProperty(const QWidget *widget)
{
    if (qobject_cast<const QGroupBox *>(widget))
        return "title";
    return widget->isWindow() ? "windowTitle" : "text";
}

QString filled(const QString &text, int arg)
{
    return arg < 0 ? text : text.arg(arg);
}
}  // namespace

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

LanguageSwitch::LanguageSwitch()
{
    if (m_qtChinese.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtChinese);
    if (!m_english.load(EnglishCatalogue))
        qWarning("The English texts are missing from the tool's resources.");
}

LanguageSwitch::~LanguageSwitch()
{
    languageInUse = Language::Chinese;
    text::LanguageChanged();
}


Language text::CurrentLanguage()
{
    return languageInUse;
}

int text::LanguageGeneration()
{
    return languageGeneration;
}

void text::LanguageChanged()
{
    ++languageGeneration;
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

void LanguageSwitch::use(Language language)
{
    if (language == m_language)
        return;
    m_language = language;
    languageInUse = language;
    const bool english = language == Language::English;
    QCoreApplication::removeTranslator(english ? &m_qtChinese : &m_english);
    QTranslator &coming = english ? m_english : m_qtChinese;
    if (!coming.isEmpty())
        QCoreApplication::installTranslator(&coming);
    // Texts looked up from here on are those of the new language.
    text::LanguageChanged();
    for (QWidget *window : QApplication::topLevelWidgets())
        text::Retranslate(window);
    // Qt posts QEvent::LanguageChange to every window; they are handled now, not later.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
}

void text::SetCaption(QWidget *widget, Text t)
{
    TrackCaption(widget, {t});
    widget->setProperty(captionProperty(widget), t());
}

void text::TrackCaption(QWidget *widget, std::initializer_list<Text> texts, int arg)
{
    QByteArrayList sources;
    for (const Text &t : texts)
        sources << QByteArray(t.source);
    widget->setProperty(TextsProperty, QVariant::fromValue(sources));
    widget->setProperty(ArgProperty, arg);
}

void text::Retranslate(QWidget *window)
{
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *widget : widgets) {
        const QByteArrayList sources = widget->property(TextsProperty).value<QByteArrayList>();
        if (sources.isEmpty())
            continue;
        const int arg = widget->property(ArgProperty).toInt();
        const char *property = captionProperty(widget);
        const QString shown = widget->property(property).toString();
        for (const QByteArray &source : sources) {
            const Text t{source.constData()};
            if (t.matches(shown, arg)) {
                widget->setProperty(property, filled(t(), arg));
                break;
            }
        }
    }
}
