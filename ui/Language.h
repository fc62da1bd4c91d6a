// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool's language, switched by "中 / EN". The tool's texts are written in Chinese and shown
// as written; the English ones come from the translation built into the tool
// (translations/trelmo_en.ts). Qt's own texts (the standard buttons of message boxes, the file
// dialogs) follow: Debian's qtbase_zh_CN in Chinese, Qt's own English in English. The tool
// starts in Chinese every time; the choice is not kept.
#include <QTranslator>
#include <initializer_list>

#include "core/Texts.h"

class QWidget;

class LanguageSwitch {
public:
    // Chinese. Qt's Chinese texts are installed for as long as this object lives in Chinese;
    // without Debian's translation Qt's texts stay English.
    LanguageSwitch();
    // Its translations go with it.
    ~LanguageSwitch();

    Language language() const { return m_language; }
    // Puts the whole tool into `language` before it returns: every window, open or not, sets
    // its captions again (text::Retranslate) and then takes QEvent::LanguageChange for what
    // else it shows in words.
    void use(Language language);

private:
    QTranslator m_qtChinese;
    QTranslator m_english;
    Language m_language = Language::Chinese;
};

namespace text {
// `widget` shows `t`, and shows it in the language in use after every switch. The caption is a
// button's or label's text, a group box's title or a window's title.
void SetCaption(QWidget *widget, Text t);
// `widget` shows one of `texts` (with "%1" filled by `arg` when it is not negative), and after
// a switch shows the same one in the new language: captions that show a state keep it.
void TrackCaption(QWidget *widget, std::initializer_list<Text> texts, int arg = -1);
// Sets every tracked caption of `window` and of its children again in the language in use. A
// caption that shows none of its texts (an empty label) stays as it is.
void Retranslate(QWidget *window);
}  // namespace text
