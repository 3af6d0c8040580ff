// The microphone grid: 32 microphone boxes, 4 beam boxes and the all box,
// with a level cell under each microphone box for the run's level view.
#include "app/principale.h"
#include "display/elapsed_label.h"
#include "selection/grid_rules.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

namespace SonivarACQ32 {

namespace {

using grid_rules::Point;

void place(QWidget* widget, const QString& name, Point at)
{
    widget->setObjectName(name);
    widget->setGeometry(at.x, at.y, grid_rules::box_size, grid_rules::box_size);
}

QLabel* make_heading(QWidget* parent, const QString& name, const QString& text, Point at)
{
    auto* label = new QLabel(text, parent);
    place(label, name, at);
    // The heading keeps the family and style it inherits, at size 10.
    QFont font = label->font();
    font.setPointSize(10);
    label->setFont(font);
    return label;
}

QCheckBox* make_box(QWidget* parent, const QString& name, Point at)
{
    auto* box = new QCheckBox(parent);
    place(box, name, at);
    box->setChecked(true);
    return box;
}

void paint_white(QFrame* cell)
{
    // A colour left by a style sheet would cover the palette: drop it.
    if (!cell->styleSheet().isEmpty())
        cell->setStyleSheet(QString());
    QPalette palette = cell->palette();
    palette.setColor(QPalette::Window, Qt::white);
    cell->setPalette(palette);
}

QFrame* make_cell(QWidget* parent, const QString& name, Point at)
{
    auto* cell = new QFrame(parent);
    place(cell, name, at);
    cell->setAutoFillBackground(true);
    paint_white(cell);
    cell->hide();
    return cell;
}

QString numbered(const char* pattern, int a) { return QString::fromLatin1(pattern).arg(a); }

} // namespace

void Principale::creation_cases()
{
    using namespace grid_rules;
    QWidget* group = groupBox_Micros;
    for (int j = 0; j < mics_per_beam; ++j)
        num_micros[j] = make_heading(group, numbered("Label_M%1", j), QString::number(j),
                                     micro_heading_position(j));
    num_micros[8] = make_heading(group, QStringLiteral("Label_MT"), QStringLiteral("T"),
                                 beam_row_heading_position);

    for (int k = 0; k < nb_beams; ++k) {
        for (int j = 0; j < mics_per_beam; ++j) {
            const QString suffix = QStringLiteral("%1_%2").arg(k).arg(j);
            QCheckBox* box = make_box(group, QStringLiteral("Case_") + suffix, micro_position(k, j));
            connect(box, &QCheckBox::clicked, this, [this, box] { micro_valide(box); });
            grid[k][j] = box;
            grid_n[k][j] = make_cell(group, QStringLiteral("Case_n_") + suffix, micro_position(k, j));
        }
        QCheckBox* beam = make_box(group, numbered("Faisceau_%1", k), beam_position(k));
        connect(beam, &QCheckBox::clicked, this, [this, beam] { faisceaux_valide(beam); });
        faisceaux_T[k] = beam;
        num_faisceaux[k] = make_heading(group, numbered("Label_F%1", k), QString::number(k),
                                        beam_heading_position(k));
    }

    paq_T = make_box(group, QStringLiteral("Tous"), all_position);
    connect(paq_T, &QCheckBox::clicked, this, [this] { tout_valide(paq_T); });
}

namespace {

grid_rules::GridChecks read_selection(const Principale& w)
{
    grid_rules::GridChecks s;
    for (int k = 0; k < channels::nb_beams; ++k) {
        for (int j = 0; j < channels::mics_per_beam; ++j)
            s.micro[k][j] = w.grid[k][j]->isChecked();
        s.beam[k] = w.faisceaux_T[k]->isChecked();
    }
    s.all = w.paq_T->isChecked();
    return s;
}

// Programmatic setChecked raises no click, so no rule triggers another.
void write_selection(Principale& w, const grid_rules::GridChecks& s)
{
    for (int k = 0; k < channels::nb_beams; ++k) {
        for (int j = 0; j < channels::mics_per_beam; ++j)
            w.grid[k][j]->setChecked(s.micro[k][j]);
        w.faisceaux_T[k]->setChecked(s.beam[k]);
    }
    w.paq_T->setChecked(s.all);
}

} // namespace

void Principale::micro_valide(QCheckBox* sender)
{
    for (int k = 0; k < channels::nb_beams; ++k) {
        for (int j = 0; j < channels::mics_per_beam; ++j) {
            if (grid[k][j] != sender)
                continue;
            grid_rules::GridChecks s = read_selection(*this);
            grid_rules::after_micro_click(s, k);
            write_selection(*this, s);
            return;
        }
    }
}

void Principale::faisceaux_valide(QCheckBox* sender)
{
    for (int k = 0; k < channels::nb_beams; ++k) {
        if (faisceaux_T[k] != sender)
            continue;
        grid_rules::GridChecks s = read_selection(*this);
        grid_rules::after_beam_click(s, k);
        write_selection(*this, s);
        return;
    }
}

void Principale::tout_valide(QCheckBox* sender)
{
    if (sender != paq_T)
        return;
    grid_rules::GridChecks s = read_selection(*this);
    grid_rules::after_all_click(s);
    write_selection(*this, s);
}

void Principale::affiche_cases(bool acquisition)
{
    num_micros[8]->setVisible(!acquisition);
    paq_T->setVisible(!acquisition);
    panel_dB->setVisible(acquisition);
    progressBar_Progress->setValue(0);
    if (count != 0)
        panel_Progress->setVisible(acquisition);
    if (display::elapsed_label_follows_view(count, duree))
        label_Duree_Ecoulee->setVisible(acquisition);

    // Every cell starts and ends a run white: cells of microphones that are
    // not acquired are never painted.
    for (int k = 0; k < channels::nb_beams; ++k) {
        for (int j = 0; j < channels::mics_per_beam; ++j) {
            grid[k][j]->setVisible(!acquisition);
            grid_n[k][j]->setVisible(acquisition);
            paint_white(grid_n[k][j]);
        }
        faisceaux_T[k]->setVisible(!acquisition);
    }
}

} // namespace SonivarACQ32
