#ifndef TESTS_WINDOWCONTROLS_H
#define TESTS_WINDOWCONTROLS_H

#include "GlyphPreview.h"
#include "MainWindow.h"

#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

/* The window keeps its widgets to itself; they are its direct children, in the order it creates them. */
struct Controls {
    explicit Controls(MainWindow &window)
    {
        const auto combos = window.findChildren<QComboBox *>(QString(), Qt::FindDirectChildrenOnly);
        font = qobject_cast<QFontComboBox *>(combos.value(0));
        size = combos.value(1);
        style = combos.value(2);
        output = window.findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly);
        const auto buttons = window.findChildren<QPushButton *>(QString(), Qt::FindDirectChildrenOnly);
        browse = buttons.value(0);
        run = buttons.value(1);
        status = window.findChild<QStatusBar *>(QString(), Qt::FindDirectChildrenOnly);
        // After the four captions.
        pixelSize = window.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly).value(4);
        preview = window.findChild<GlyphPreview *>(QString(), Qt::FindDirectChildrenOnly);
        summary = status ? status->findChild<QLabel *>() : nullptr;
    }

    bool complete() const
    {
        return font && size && style && output && browse && run && status && pixelSize && preview && summary;
    }

    void select(QComboBox *combo, const QString &text)
    {
        int index = combo->findText(text);
        if (index < 0) {
            combo->addItem(text);
            index = combo->count() - 1;
        }
        combo->setCurrentIndex(index);
    }

    // As a user replaces the text of an editable list and presses Return.
    static void type(QComboBox *combo, const QString &text)
    {
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), text);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    }

    QFontComboBox *font;
    QComboBox *size;
    QComboBox *style;
    QLineEdit *output;
    QPushButton *browse;
    QPushButton *run;
    QStatusBar *status;
    QLabel *pixelSize;
    GlyphPreview *preview;
    QLabel *summary;
};

#endif // TESTS_WINDOWCONTROLS_H
