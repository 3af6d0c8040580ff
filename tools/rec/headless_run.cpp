#include "headless_run.h"

#include "app/principale.h"
#include "platform/dialogs.h"
#include "platform/settings.h"
#include "recording/companion_names.h"
#include "rec_terminal.h"
#include "stream/calibration_file.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>

namespace sonivar_rec {

namespace {

using SonivarACQ32::Principale;
using SonivarACQ32::start_trigger::StartSource;
using SonivarACQ32::start_trigger::TriggerMode;

// The window's dialogs, answered from the command line: the save dialog
// gives the data file named there (once), a question about replacing a
// companion is answered by --replace, an alert is already in the pane.
class CommandLineDialogs : public SonivarACQ32::platform::Dialogs {
public:
    explicit CommandLineDialogs(const RecOptions& o) : path_(o.output.empty() ? QString() : QFileInfo(QString::fromStdString(o.output)).absoluteFilePath()), replace_(o.replace)
    {
        SonivarACQ32::platform::dialogs_seam().install(this);
    }
    ~CommandLineDialogs() override { SonivarACQ32::platform::dialogs_seam().restore(); }
    void alert(QWidget*, const QString&, const QString&) override { ++alerts; }
    QString save_file(QWidget*, const QString&, const QString&) override { return std::exchange(path_, QString()); }
    bool question(QWidget*, const QString&, const QString&) override { return replace_; }
    int alerts = 0;

private:
    QString path_;
    bool replace_;
};

void choose_frequency(Principale& w, int index)
{
    QListWidgetItem* item = w.listBox_Freq->item(index);
    w.listBox_Freq->scrollToItem(item, QAbstractItemView::PositionAtTop);
    emit w.listBox_Freq->itemClicked(item);
}

void choose_microphones(Principale& w, const std::vector<int>& mics)
{
    for (int beam = 0; beam < 4; ++beam)
        for (int mic = 0; mic < 8; ++mic) {
            QCheckBox* box = w.grid[beam][mic];
            const bool wanted = std::find(mics.begin(), mics.end(), 8 * beam + mic) != mics.end();
            if (box != nullptr && box->isChecked() != wanted)
                box->click();
        }
}

void choose_trigger(Principale& w, const RecOptions& o)
{
    QRadioButton* source = o.source == StartSource::Trig1   ? w.radioButton_Start_Trig1
                           : o.source == StartSource::Trig2 ? w.radioButton_Start_Trig2
                                                            : w.radioButton_Start_Soft;
    source->click();
    QRadioButton* mode = o.mode == TriggerMode::FallingEdge ? w.radioButton_Start_FD
                         : o.mode == TriggerMode::High      ? w.radioButton_Start_EH
                         : o.mode == TriggerMode::Low       ? w.radioButton_Start_EB
                                                            : w.radioButton_Start_FM;
    mode->setChecked(true);
}

// The comment box, opened, filled and closed as the operator does.
void write_comment(Principale& w, const std::string& text)
{
    w.button_Comment->click();
    w.textBox_Comment->setPlainText(QString::fromStdString(text));
    w.button_Comment->click();
}

// Every control as the options say, after Init, before Start.
void set_controls(Principale& w, const RecOptions& o)
{
    choose_frequency(w, o.freq_index);
    if (o.mics)
        choose_microphones(w, *o.mics);
    w.checkBox_Compteur->setChecked(o.counter);
    w.checkBox_Status->setChecked(o.status);
    (o.is_float ? w.radioButton_Float : w.radioButton_Integer)->setChecked(true);
    w.checkBox_Definie->setChecked(!o.open_ended);
    if (o.duration)
        w.numericUpDown_Duree->setValue(*o.duration);
    choose_trigger(w, o);
    w.checkBox_Diffusion->setChecked(o.stream);
    w.checkBox_Pascal->setChecked(o.pascal);
    w.checkBox_Record->setChecked(!o.output.empty());
    if (!o.output.empty() && o.comment)
        write_comment(w, *o.comment);
}

int verdict(const Principale& w, const RunWatch& watch)
{
    const bool cut_short = Principale::own.unit_lost || Principale::own.write_failed || Principale::erreur_compteur ||
                           w.run.ring_dropped || w.aborted || Principale::ntr == 0 ||
                           (w.stopped && !watch.stop_asked);
    return cut_short ? exit_cut_short : exit_complete;
}

} // namespace

std::string output_refusal(const RecOptions& o)
{
    if (o.output.empty())
        return {};
    const QString data = SonivarACQ32::data_file_path(QString::fromStdString(o.output));
    const QFileInfo folder(QFileInfo(data).absolutePath());
    if (!folder.isDir())
        return "dossier introuvable : " + folder.filePath().toStdString();
    if (!folder.isWritable())
        return "dossier " + folder.filePath().toStdString() + " : accès refusé";
    if (o.replace)
        return {};
    for (const QString& path : {data, SonivarACQ32::companion_path(data, QStringLiteral(".Zv")),
                                SonivarACQ32::companion_path(data, QStringLiteral(".log"))})
        if (QFileInfo::exists(path))
            return path.toStdString() + " existe déjà (--replace pour le remplacer)";
    return {};
}

int headless_run(const RecOptions& o)
{
    std::optional<SonivarACQ32::stream::Calibration> calibration;
    if (!o.calib.empty()) {
        const SonivarACQ32::stream::CalibrationResult read = SonivarACQ32::stream::read_calibration(o.calib);
        if (!read.calibration) {
            std::fprintf(stderr, "sonivar-rec : %s\n", read.error.c_str());
            return exit_usage;
        }
        calibration = read.calibration;
    }
    // The operator's kept settings (folders, windows) stay as the window left them.
    QTemporaryDir own_settings;
    SonivarACQ32::platform::settings_file_seam().install(own_settings.filePath(QStringLiteral("rec.ini")));
    CommandLineDialogs dialogs(o);
    Principale w;
    if (calibration)
        w.applique_etalonnage(calibration);
    RunWatch watch(w);
    w.button_Init->click();
    // Init alerts only when the unit is absent or does not answer its
    // presence test; the window would let the operator start regardless.
    if (w.handle == nullptr || !w.initialisation || dialogs.alerts > 0)
        return exit_no_unit;
    if (watch.interrupted())
        return exit_cut_short;
    set_controls(w, o);
    w.button_Start->click();
    const int status = verdict(w, watch);
    watch.totals();
    return status;
}

} // namespace sonivar_rec
