#pragma once
// A screen that is not built yet: a window with the screen's title that keeps the
// one-screen-at-a-time rule and its active flag.
#include <QLabel>
#include <QVBoxLayout>
#include <cstdint>

#include "ui/SubScreen.h"

class PlaceholderScreen : public SubScreen {
    Q_OBJECT
public:
    PlaceholderScreen(const QString &objectName, const QString &title, std::int16_t &activeFlag)
        : SubScreen(nullptr), m_active(activeFlag)
    {
        setObjectName(objectName);
        setWindowTitle(title);
        auto *box = new QVBoxLayout(this);
        box->addWidget(new QLabel(title, this));
        resize(480, 300);
    }

protected:
    void Form_Load() override { m_active = 1; }
    void Form_Unload() override { m_active = 0; }

private:
    std::int16_t &m_active;
};
