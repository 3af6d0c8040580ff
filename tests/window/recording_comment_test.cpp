// The comment box and the recording switch, as the operator uses them, and
// what the comment becomes in the header and description files.
#include "window_harness.h"
#include "app/principale.h"
#include "recording/header_record.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

using SonivarACQ32::Principale;
using SonivarACQ32::header_file;

namespace {

class CommentBox : public testsupport::WindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        h.enable_panel();
    }

    // Types `text` into the open box and closes it.
    void enter_comment(const QString& text)
    {
        w.button_Comment->click();
        w.textBox_Comment->setPlainText(text);
        w.button_Comment->click();
    }

    // A recording closed at once: the header and description files' bytes.
    std::pair<QByteArray, QByteArray> record_now()
    {
        dialogs.answers.push_back(dir.filePath(QStringLiteral("c.dat")));
        w.button_Fichier->click();
        w.close_file_set(true);
        QFile zv(dir.filePath(QStringLiteral("c.Zv")));
        QFile log(dir.filePath(QStringLiteral("c.log")));
        EXPECT_TRUE(zv.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.open(QIODevice::ReadOnly));
        return {zv.readAll(), log.readAll()};
    }

    QTemporaryDir dir;
};

// Controls governed by the enablement switches, one per switch.
std::vector<QWidget*> switch_controls(Principale& w)
{
    return {w.button_Init,    w.panel_Init,     w.panel_Duree,    w.checkBox_Compteur,
            w.groupBox_Data_Type, w.checkBox_Record, w.button_Fichier, w.groupBox_Micros,
            w.checkBox_Test,  w.button_Start,   w.button_Stop,    w.textBox_Info};
}

} // namespace

TEST_F(CommentBox, OpeningAndClosingToggleThePanel)
{
    const QFont before = w.button_Comment->font();
    w.button_Comment->click();

    EXPECT_TRUE(w.commentaires);
    EXPECT_FALSE(w.groupBox_Comment->isHidden());
    EXPECT_EQ(w.button_Comment->text(), QStringLiteral("Ferme Comment."));
    EXPECT_EQ(w.button_Comment->font().pointSize(), 12);
    EXPECT_EQ(w.button_Comment->font().family(), before.family());
    EXPECT_EQ(w.button_Comment->font().bold(), before.bold());
    for (QWidget* c : switch_controls(w))
        EXPECT_EQ(c->isEnabled(), c == w.button_Comment) << c->objectName().toStdString();
    EXPECT_TRUE(w.button_Comment->isEnabled());
    EXPECT_TRUE(w.button_Stop->isHidden());
    EXPECT_TRUE(w.textBox_Comment->isEnabled());

    w.button_Comment->click();
    EXPECT_FALSE(w.commentaires);
    EXPECT_TRUE(w.groupBox_Comment->isHidden());
    EXPECT_EQ(w.button_Comment->text(), QStringLiteral("Commentaires"));
    EXPECT_EQ(w.button_Comment->font().pointSize(), 15);
    EXPECT_EQ(w.button_Comment->font().family(), before.family());
    EXPECT_EQ(w.button_Comment->font().bold(), before.bold());
    for (QWidget* c : switch_controls(w))
        EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
}

TEST_F(CommentBox, ClosedCommentGoesIntoBothFiles)
{
    // A no-break space, a paragraph break and a Shift+Enter line break.
    const QString typed = QStringLiteral("Salle\u00A0é\n5 € –") + QChar(QChar::LineSeparator) +
                          QStringLiteral("Ω");
    enter_comment(typed);
    const auto [zv, log] = record_now();
    ASSERT_EQ(zv.size(), 2097);

    // Windows-1252 with CR LF, padded with spaces to 1023 bytes, then NUL.
    const QByteArray text("Salle\xA0\xE9\r\n5 \x80 \x96\r\n?");
    const QByteArray stored = zv.mid(1073);
    EXPECT_EQ(stored.left(text.size()), text);
    EXPECT_EQ(stored.mid(text.size(), 1023 - text.size()), QByteArray(1023 - text.size(), ' '));
    EXPECT_EQ(stored[1023], '\0');

    // The description ends with the comment in UTF-8, its padding kept.
    const QByteArray utf8 = QStringLiteral("Salle\u00A0é\r\n5 € –\r\nΩ").toUtf8();
    const int padding = 1023 - (7 + 2 + 5 + 2 + 1);  // a line break counts two characters
    EXPECT_TRUE(log.endsWith("[OPTIONNAL]\r\n" + utf8 + QByteArray(padding, ' ') + "\r\n"));
}

TEST_F(CommentBox, RecordingSwitchShowsTheFileAndCommentButtons)
{
    w.checkBox_Record->setChecked(false);
    EXPECT_FALSE(Principale::record);
    EXPECT_TRUE(w.button_Fichier->isHidden());
    EXPECT_TRUE(w.button_Comment->isHidden());

    w.checkBox_Record->setChecked(true);
    EXPECT_TRUE(Principale::record);
    EXPECT_FALSE(w.button_Fichier->isHidden());
    EXPECT_FALSE(w.button_Comment->isHidden());
}
