// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Language.h"

#include <QApplication>
#include <QByteArrayList>
#include <QGroupBox>
#include <QLibraryInfo>
#include <QVariant>
#include <QWidget>


namespace {
// Where a widget keeps the source texts its caption may show, and the number put into them.
constexpr char TextsProperty[] = "captionTexts";
constexpr char ArgProperty[] = "captionArg";

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

LanguageSwitch::LanguageSwitch()
{
    if (m_qtChinese.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_qtChinese);
    if (!m_english.load(text::EnglishCatalogue()))
        qWarning("The English texts are missing from the tool's resources.");
}

LanguageSwitch::~LanguageSwitch()
{
    text::SetCurrentLanguage(Language::Chinese);
}

void LanguageSwitch::use(Language language)
{
    if (language == m_language)
        return;
    m_language = language;
    const bool english = language == Language::English;
    QCoreApplication::removeTranslator(english ? &m_qtChinese : &m_english);
    QTranslator &coming = english ? m_english : m_qtChinese;
    if (!coming.isEmpty())
        QCoreApplication::installTranslator(&coming);
    // Texts looked up from here on are those of the new language.
    text::SetCurrentLanguage(language);
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
