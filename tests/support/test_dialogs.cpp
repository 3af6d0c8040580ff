#include "test_dialogs.h"

#include "app/principale.h"

namespace testsupport {

void TestDialogs::alert(QWidget*, const QString& title, const QString& text)
{
    alerts.push_back({title, text, SonivarACQ32::Principale::own.pane_text});
}

QString TestDialogs::save_file(QWidget*, const QString& filter, const QString& folder)
{
    filters_asked << filter;
    folders_asked << folder;
    if (answers.empty())
        return {};
    QString path = answers.front();
    answers.pop_front();
    return path;
}

bool TestDialogs::question(QWidget*, const QString&, const QString& text)
{
    questions << text;
    if (replies.empty())
        return false;
    const bool reply = replies.front();
    replies.pop_front();
    return reply;
}

} // namespace testsupport
