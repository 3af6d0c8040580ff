#pragma once
// Stands in for the modal alert and the save dialog during tests: alerts are
// recorded with the pane as it stood when they came, and the save dialog
// answers from a queue of scripted paths (an empty path cancels); questions
// are answered from a queue of replies.
#include "platform/dialogs.h"

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

namespace testsupport {

struct Alert {
    QString title;
    QString text;
    QString pane;  // the information pane's text when the box came up
};

class TestDialogs : public SonivarACQ32::platform::Dialogs {
public:
    TestDialogs() { SonivarACQ32::platform::dialogs_seam().install(this); }
    ~TestDialogs() override { SonivarACQ32::platform::dialogs_seam().restore(); }

    void alert(QWidget* parent, const QString& title, const QString& text) override;
    QString save_file(QWidget* parent, const QString& filter, const QString& folder) override;
    bool question(QWidget* parent, const QString& title, const QString& text) override;

    std::vector<Alert> alerts;
    std::deque<QString> answers;   // next paths the save dialog returns
    QStringList filters_asked;     // filters the dialog was shown with
    QStringList folders_asked;     // folders it opened in ("" for the default)
    QStringList questions;         // texts of the questions asked
    std::deque<bool> replies;      // next replies ("Oui": true); none left: "Non"
};

} // namespace testsupport
