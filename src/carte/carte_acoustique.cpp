// The map window's controls, its geometry and its settings.
#include "carte/carte_acoustique.h"

#include "app/format.h"
#include "platform/folders.h"
#include "picture/map_image.h"
#include "carte/ecoute_point.h"
#include "carte/ecoute_wav.h"
#include "camera/camera_recorder.h"
#include "picture/camera_video.h"
#include "camera/live_camera.h"
#include "spectrogramme/spectrogramme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QRegularExpression>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

// How much of the previous average a packet's matrix keeps when the
// operator asks for a mean over packets: about the last five packets.

} // namespace

QDoubleSpinBox* CarteAcoustique::spin_box(double low, double high, double step, int decimals, double value,
                                          const QString& suffix)
{
    auto* box = new QDoubleSpinBox;
    box->setRange(low, high);
    box->setSingleStep(step);
    box->setDecimals(decimals);
    box->setValue(value);
    box->setSuffix(suffix);
    box->setKeyboardTracking(false);  // one map per value, not per key typed
    return box;
}

CarteAcoustique::CarteAcoustique(QWidget* parent, feed::PacketFeed* feed)
    : feed::LiveWindow(parent, feed)
{
    worker_ = make_worker<am::LiveMapper>(
        [peintre = peintre_](const am::MapOutcome& outcome) { return peintre->dessine(outcome); },
        [this](const am::MapOutcome& outcome, const CarteDessinee& dessinee) { recoit_carte(outcome, dessinee); });
    setWindowTitle(QStringLiteral("Carte acoustique"));
    setLocale(fmt::french_locale());  // the spin boxes' numbers, as every number here
    build_controls();
    const am::GeometryResult example = am::read_geometry(am::example_geometry_path);
    if (example.geometry) {
        geometrie = *example.geometry;
        label_Geometrie->setText(QString::fromStdString(geometrie.name));
    }
    label_Etat->setText(QStringLiteral("En attente des paquets d'une acquisition"));
    methode_changee();
    bande_choisie();
    dessine_echelle();
}

// The whole of the controls when the screen has room (the scroll area
// alone would ask for much less); the placement bounds it by the screen.
QSize CarteAcoustique::sizeHint() const
{
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return contenu_->sizeHint() + QSize(bar, bar);
}

CarteAcoustique::~CarteAcoustique()
{
    ecoute_.reset();
    ecoute_wav_.reset();
    enregistre_camera(false);
    camera_.reset();
    enregistreur_camera_.reset();
    worker_.reset();  // before the controls it posts to
}

void CarteAcoustique::build_controls()
{
    const am::Settings defaults;
    numericUpDown_Frequence = spin_box(100.0, 25000.0, 10.0, 0, defaults.frequency);
    comboBox_Bande = new QComboBox;
    comboBox_Bande->addItems({QStringLiteral("Tiers d'octave"), QStringLiteral("Raie unique"), QStringLiteral("Large bande")});
    numericUpDown_Fmin = spin_box(10.0, 25000.0, 100.0, 0, defaults.lower_hz);
    numericUpDown_Fmax = spin_box(10.0, 25000.0, 100.0, 0, defaults.upper_hz);
    checkBox_Ponderation_A = new QCheckBox(QStringLiteral("Pondération A"));
    numericUpDown_Distance = spin_box(am::nearest_plane_m, am::farthest_plane_m, 0.05, 2, defaults.grid.z);
    numericUpDown_Etendue = spin_box(0.05, 20.0, 0.05, 2, defaults.grid.extent);
    numericUpDown_Pas = spin_box(0.005, 1.0, 0.005, 3, defaults.grid.step);
    comboBox_Dynamique = new QComboBox;
    for (int range : am::dynamic_ranges)
        comboBox_Dynamique->addItem(QStringLiteral("%1 dB").arg(range), range);
    comboBox_Dynamique->setCurrentIndex(1);
    comboBox_Echelle = new QComboBox;
    comboBox_Echelle->addItems({QStringLiteral("Maximum de chaque carte"), QStringLiteral("Fixe")});
    numericUpDown_Haut = spin_box(-200.0, 200.0, 1.0, 1, 0.0);
    numericUpDown_Haut->setEnabled(false);
    checkBox_Diagonale = new QCheckBox(QStringLiteral("Sans la diagonale"));
    checkBox_Moyenne = new QCheckBox(QStringLiteral("Moyenne sur les paquets"));
    button_Reinitialiser = new QPushButton(QStringLiteral("Réinitialiser"));
    button_Reinitialiser->setToolTip(QStringLiteral("Recommence la moyenne à partir des données à venir"));
    label_Moyenne = new QLabel;
    button_Geometrie = new QPushButton(QStringLiteral("Géométrie…"));
    button_Spectre = new QPushButton(QStringLiteral("Spectre…"));
    button_Spectrogramme = new QPushButton(QStringLiteral("Spectrogramme…"));
    label_Geometrie = new QLabel;
    label_Maximum = new QLabel;
    label_Maximum->setWordWrap(true);  // a long line never widens the window
    label_Etat = new QLabel;
    label_Etat->setWordWrap(true);
    label_Sautes = new QLabel;
    pictureBox_Carte = new QLabel;
    pictureBox_Carte->setMinimumSize(am::view_pixels, am::view_pixels);
    // Its room comes from the window, never from the picture it shows: a
    // map drawn to fill it never widens it.
    pictureBox_Carte->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    pictureBox_Carte->setAlignment(Qt::AlignRight | Qt::AlignTop);  // against its scale
    pictureBox_Carte->setCursor(Qt::CrossCursor);
    pictureBox_Carte->setToolTip(QStringLiteral("Un clic choisit le point à écouter ; glisser trace une zone"));
    pictureBox_Carte->installEventFilter(this);
    pictureBox_Echelle = new QLabel;
    label_Echelle_Haut = new QLabel;
    label_Echelle_Bas = new QLabel;
    // Room for the widest level from the start: the first map never
    // widens the window.
    for (QLabel* end : {label_Echelle_Haut, label_Echelle_Bas})
        end->setMinimumWidth(end->fontMetrics().horizontalAdvance(QStringLiteral("-000,0 dB SPL")));

    auto* form = new QFormLayout;
    form->addRow(build_method_controls());
    form->addRow(QStringLiteral("Fréquence (Hz)"), numericUpDown_Frequence);
    form->addRow(QStringLiteral("Bande"), comboBox_Bande);
    auto* edges = new QHBoxLayout;
    edges->addWidget(numericUpDown_Fmin);
    edges->addWidget(new QLabel(QStringLiteral("à")));
    edges->addWidget(numericUpDown_Fmax);
    form->addRow(QStringLiteral("De (Hz)"), edges);
    form->addRow(checkBox_Ponderation_A);
    form->addRow(QStringLiteral("Distance z (m)"), numericUpDown_Distance);
    form->addRow(QStringLiteral("Étendue ± (m)"), numericUpDown_Etendue);
    form->addRow(QStringLiteral("Pas (m)"), numericUpDown_Pas);
    form->addRow(QStringLiteral("Dynamique"), comboBox_Dynamique);
    form->addRow(QStringLiteral("Échelle"), comboBox_Echelle);
    form->addRow(QStringLiteral("Haut de l'échelle"), numericUpDown_Haut);
    form->addRow(checkBox_Diagonale);
    form->addRow(checkBox_Moyenne, button_Reinitialiser);
    form->addRow(label_Moyenne);
    form->addRow(button_Geometrie, label_Geometrie);
    form->addRow(button_Spectre, button_Spectrogramme);
    form->addRow(build_picture_controls());
    form->addRow(build_camera_controls());
    form->addRow(build_zone_controls());
    // The labels at the bar's ends, whatever the map's height.
    auto* scale = new QVBoxLayout;
    scale->setSpacing(2);
    scale->addWidget(label_Echelle_Haut);
    scale->addWidget(pictureBox_Echelle);
    scale->addWidget(label_Echelle_Bas);
    scale->addStretch(1);
    // The whole window scrolls on a small screen, as the main window does.
    auto* content = contenu_ = new QWidget;
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);  // Tab goes straight to the controls
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    auto* grid = new QGridLayout(content);
    grid->addWidget(pictureBox_Carte, 0, 0);
    grid->addLayout(scale, 0, 1);
    grid->addLayout(form, 0, 2);
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(0, 1);
    grid->addWidget(label_Maximum, 1, 0, 1, 3);
    grid->addWidget(label_Etat, 2, 0, 1, 3);
    grid->addWidget(label_Sautes, 3, 0, 1, 3);
    grid->addLayout(build_review_controls(), 4, 0, 1, 3);
    scroll->setWidget(content);

    connect_controls();
}

// Settings map again; the picture's own choices only redraw.
void CarteAcoustique::connect_controls()
{
    for (QDoubleSpinBox* box : {numericUpDown_Frequence, numericUpDown_Distance, numericUpDown_Etendue,
                                numericUpDown_Pas, numericUpDown_Fmin, numericUpDown_Fmax})
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { reglages_changes(); });
    connect(comboBox_Bande, &QComboBox::currentIndexChanged, this, [this] {
        bande_choisie();
        reglages_changes();
    });
    // The dynamic range changes only the picture.
    connect(comboBox_Dynamique, &QComboBox::currentIndexChanged, this, [this] { dessine(); });
    connect(comboBox_Echelle, &QComboBox::currentIndexChanged, this, [this](int index) {
        numericUpDown_Haut->setEnabled(index == 1);
        if (index == 1 && carte_valide)  // fixed from where the map stands now
            numericUpDown_Haut->setValue(std::ceil(derniere_carte.max_db));
        dessine();
    });
    connect(numericUpDown_Haut, &QDoubleSpinBox::valueChanged, this, [this] { dessine(); });
    for (QCheckBox* box : {checkBox_Diagonale, checkBox_Moyenne, checkBox_Ponderation_A})
        connect(box, &QCheckBox::toggled, this, [this] { reglages_changes(); });
    connect(button_Reinitialiser, &QPushButton::clicked, this, [this] { reglages_changes(); });
    connect(button_Geometrie, &QPushButton::clicked, this, [this] { button_Geometrie_Click(); });
    connect(button_Spectre, &QPushButton::clicked, this, [this] { emit spectre_demande(); });
    connect(button_Spectrogramme, &QPushButton::clicked, this, [this] { ouvre_spectrogramme(); });
}

QLayout* CarteAcoustique::build_method_controls()
{
    comboBox_Methode = new QComboBox;
    for (am::MethodKind kind : am::all_methods())
        comboBox_Methode->addItem(QString::fromStdString(am::method_name(kind)));
    label_Parametre = new QLabel;
    numericUpDown_Parametre = spin_box(0.0, 1.0, 0.1, 2, 0.0);
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Méthode"), comboBox_Methode);
    form->addRow(label_Parametre, numericUpDown_Parametre);
    formulaire_methode = form;
    connect(comboBox_Methode, &QComboBox::currentIndexChanged, this, [this] { methode_changee(); });
    connect(numericUpDown_Parametre, &QDoubleSpinBox::valueChanged, this,
            [this](double value) { parametre_change(value); });
    return form;
}

// The parameter box shows the chosen method's own parameter, as the
// operator last left it; the diagonal goes only with the methods that take
// it out.
void CarteAcoustique::methode_changee()
{
    const am::MethodKind kind = am::all_methods()[std::max(0, comboBox_Methode->currentIndex())];
    const am::ParameterRange* range = am::method_parameter(kind);
    {
        const QSignalBlocker quiet(numericUpDown_Parametre);
        if (range != nullptr) {
            numericUpDown_Parametre->setDecimals(range->decimals);
            numericUpDown_Parametre->setRange(range->low, range->high);
            numericUpDown_Parametre->setSingleStep(std::pow(10.0, std::min(0, 1 - range->decimals)));
            numericUpDown_Parametre->setValue(range->get(parametres));
        }
    }
    numericUpDown_Parametre->setEnabled(range != nullptr);
    formulaire_methode->setRowVisible(numericUpDown_Parametre, range != nullptr);
    label_Parametre->setText(range != nullptr ? QString::fromUtf8(range->name) : QString());
    checkBox_Diagonale->setEnabled(am::describe(kind).removes_diagonal);
    reglages_changes();
}

void CarteAcoustique::parametre_change(double value)
{
    const am::MethodKind kind = am::all_methods()[std::max(0, comboBox_Methode->currentIndex())];
    if (const am::ParameterRange* range = am::method_parameter(kind)) {
        range->set(parametres, value);
        reglages_changes();
    }
}

// A broadband band is given by its edges, the others by their centre.
void CarteAcoustique::bande_choisie()
{
    const bool broadband = comboBox_Bande->currentIndex() == 2;
    numericUpDown_Frequence->setEnabled(!broadband);
    numericUpDown_Fmin->setEnabled(broadband);
    numericUpDown_Fmax->setEnabled(broadband);
}

void CarteAcoustique::set_methode(int index) { comboBox_Methode->setCurrentIndex(index); }

am::Settings CarteAcoustique::reglages() const
{
    am::Settings s;
    s.method = am::all_methods()[std::max(0, comboBox_Methode->currentIndex())];
    s.parameters = parametres;
    s.frequency = numericUpDown_Frequence->value();
    const am::BandKind bands[] = {am::BandKind::third_octave, am::BandKind::single_bin, am::BandKind::broadband};
    s.band = bands[std::clamp(comboBox_Bande->currentIndex(), 0, 2)];
    s.lower_hz = numericUpDown_Fmin->value();
    s.upper_hz = numericUpDown_Fmax->value();
    s.a_weighted = checkBox_Ponderation_A->isChecked();
    s.grid.z = numericUpDown_Distance->value();
    s.grid.extent = numericUpDown_Etendue->value();
    s.grid.step = numericUpDown_Pas->value();
    s.remove_diagonal = checkBox_Diagonale->isChecked() && checkBox_Diagonale->isEnabled();
    s.smoothing = checkBox_Moyenne->isChecked() ? am::window_mean_smoothing : 0.0;
    return s;
}

bool CarteAcoustique::charge_geometrie(const QString& path)
{
    const am::GeometryResult g = am::read_geometry(path.toStdString());
    if (!g.geometry) {
        label_Etat->setText(QString::fromStdString(g.error) +
                            QStringLiteral(" : la géométrie précédente est conservée"));
        return false;
    }
    geometrie = *g.geometry;
    fichier_geometrie = QFileInfo(path).absoluteFilePath();
    label_Geometrie->setText(QFileInfo(path).fileName());
    reglages_changes();
    return true;
}

// The dialogs are not modal to the program: a run keeps streaming while
// the operator picks a file.
void CarteAcoustique::propose_fichier(const QString& title, const QString& filter, platform::FileKind kind,
                                      bool to_save, std::function<void(const QString&)> then)
{
    auto* dialog = new QFileDialog(this, title, platform::folder_for(kind), filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    if (to_save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        // A name typed without its ending gets the filter's: "(*.png)", "(*.wav)".
        const qsizetype star = filter.indexOf(QStringLiteral("*."));
        dialog->setDefaultSuffix(filter.mid(star + 2, filter.indexOf(QRegularExpression(QStringLiteral("[ )]")), star) - star - 2));
    } else {
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    connect(dialog, &QFileDialog::fileSelected, this, [kind, then = std::move(then)](const QString& path) {
        platform::remember_folder(kind, path);
        then(path);
    });
    dialog->show();
}

void CarteAcoustique::button_Geometrie_Click()
{
    propose_fichier(QStringLiteral("Géométrie de l'antenne"), QStringLiteral("Géométrie XML (*.xml);;Tous les fichiers (*)"),
                    platform::FileKind::geometries, false, [this](const QString& path) { charge_geometrie(path); });
}

void CarteAcoustique::set_frequence(double hz) { numericUpDown_Frequence->setValue(hz); }
void CarteAcoustique::set_distance(double z_m) { numericUpDown_Distance->setValue(z_m); }

// The worker gets everything a map depends on; it maps the last piece
// again when no new one comes.
am::MapJob CarteAcoustique::travail() const
{
    am::MapJob job;
    job.settings = reglages();
    job.geometry = geometrie;
    job.layout = run_.layout;
    job.sample_rate = run_.sample_rate;
    job.calibration = etalonnage_;
    job.window_s = numericUpDown_Fenetre->value();
    job.zones = zones_.liste;
    return job;
}

// The worker starts its mean afresh with any new job.
void CarteAcoustique::reglages_changes()
{
    moyenne_s_ = 0.0;
    montre_moyenne();
    const am::MapJob job = travail();
    worker_->set_job(job);
    emit travail_change(job);
    const auto [lower, upper] = bande_hz();
    emit bande_changee(lower, upper);
}

// How much the map shown averages: the stretch it is made of so far, and
// how long the mean remembers.
void CarteAcoustique::montre_moyenne()
{
    const double window = numericUpDown_Fenetre->value();
    const bool mean = checkBox_Moyenne->isChecked();
    button_Reinitialiser->setEnabled(mean);
    const double memory = am::averaging_memory_s(window, reglages().smoothing);
    label_Moyenne->setText(mean ? QStringLiteral("Moyenne sur %1 s (mémoire : %2 s)")
                                      .arg(fmt::fr(std::min(std::max(moyenne_s_, window), memory), 1), fmt::fr(memory, 1))
                                : QString());
}

void CarteAcoustique::set_etalonnage(const std::optional<stream::Calibration>& calibration)
{
    etalonnage_ = calibration;
    reglages_changes();
    if (spectrogramme_ != nullptr) {
        spectrogramme_->set_etalonnage(calibration);
        spectrogramme_suit_revue();  // its levels in the new unit
    }
}

std::pair<double, double> CarteAcoustique::bande_hz() const
{
    // A single bin's band depends on the run's rate; before any run, none.
    const am::Edges edges = am::band_edges(reglages(), run_.sample_rate);
    return {edges.lower, edges.upper};
}

} // namespace SonivarACQ32
