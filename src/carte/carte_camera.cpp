// The map window's camera: its live pictures under the map, where it sits
// and how it looks (kept for each camera by its name), and its alignment
// from one source in view.
#include "carte/carte_acoustique.h"

#include "app/format.h"
#include "camera/camera_recorder.h"
#include "camera/live_camera.h"
#include "picture/camera_video.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QUrl>

namespace SonivarACQ32 {

namespace am = acoustic_map;

QWidget* CarteAcoustique::build_camera_controls()
{
    comboBox_Camera = new QComboBox;
    const am::CameraGeometry defaults;
    numericUpDown_Champ = spin_box(am::camera_fov_min, am::camera_fov_max, 1.0, 1, defaults.fov_deg, QStringLiteral(" °"));
    numericUpDown_Camera_X = spin_box(-am::camera_offset_max_mm, am::camera_offset_max_mm, 5.0, 0, 0.0, QStringLiteral(" mm"));
    numericUpDown_Camera_Y = spin_box(-am::camera_offset_max_mm, am::camera_offset_max_mm, 5.0, 0, 0.0, QStringLiteral(" mm"));
    checkBox_Miroir = new QCheckBox(QStringLiteral("Miroir"));
    comboBox_Rotation = new QComboBox;
    for (int degrees : {0, 90, 180, 270})
        comboBox_Rotation->addItem(QStringLiteral("%1°").arg(degrees), degrees);
    button_Aligner = new QPushButton(QStringLiteral("Aligner"));
    button_Aligner->setCheckable(true);
    button_Aligner->setToolTip(QStringLiteral("Une source en vue : cliquez ensuite sur elle dans l'image"));
    label_Camera = new QLabel;
    label_Camera->setWordWrap(true);
    auto* offsets = new QHBoxLayout;
    offsets->addWidget(numericUpDown_Camera_X);
    offsets->addWidget(numericUpDown_Camera_Y);
    auto* turn = new QHBoxLayout;
    turn->addWidget(checkBox_Miroir);
    turn->addWidget(comboBox_Rotation);
    turn->addWidget(button_Aligner);
    auto* box = new QWidget;
    auto* form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(QStringLiteral("Caméra"), comboBox_Camera);
    form->addRow(QStringLiteral("Champ horizontal"), numericUpDown_Champ);
    form->addRow(QStringLiteral("Position x, y"), offsets);
    form->addRow(turn);
    form->addRow(label_Camera);
    appareils_ = new QMediaDevices(this);
    connect(appareils_, &QMediaDevices::videoInputsChanged, this, [this] { liste_cameras(); });
    liste_cameras();
    connect(comboBox_Camera, &QComboBox::currentIndexChanged, this, [this] { camera_choisie(); });
    for (QDoubleSpinBox* b : {numericUpDown_Champ, numericUpDown_Camera_X, numericUpDown_Camera_Y})
        connect(b, &QDoubleSpinBox::valueChanged, this, [this] { geometrie_camera_changee(); });
    connect(checkBox_Miroir, &QCheckBox::toggled, this, [this] { geometrie_camera_changee(); });
    connect(comboBox_Rotation, &QComboBox::currentIndexChanged, this, [this] { geometrie_camera_changee(); });
    connect(button_Aligner, &QPushButton::toggled, this, [this](bool on) { aligner_bascule(on); });
    return box;
}

// "Aucune" and the system's cameras, the one in use kept chosen; a camera
// lost and plugged back is taken up again.
void CarteAcoustique::liste_cameras()
{
    const QString chosen = comboBox_Camera->currentData().toString();
    const QSignalBlocker quiet(comboBox_Camera);
    comboBox_Camera->clear();
    comboBox_Camera->addItem(QStringLiteral("Aucune"), QString());
    for (const QCameraDevice& d : QMediaDevices::videoInputs())
        comboBox_Camera->addItem(d.description(), QString::fromUtf8(d.id()));
    int index = std::max(0, comboBox_Camera->findData(chosen));
    if (index == 0 && !camera_perdue_.isEmpty() && comboBox_Camera->findText(camera_perdue_) > 0) {
        index = comboBox_Camera->findText(camera_perdue_);
        camera_perdue_.clear();
    }
    comboBox_Camera->setCurrentIndex(index);
    // Gone, the camera says so itself (LiveCamera::lost); back, it starts again.
    if (index > 0 && (camera_ == nullptr || !camera_->active()))
        camera_choisie();
}

void CarteAcoustique::choisit_camera(const QString& name)
{
    comboBox_Camera->setCurrentIndex(std::max(0, comboBox_Camera->findText(name)));
}

void CarteAcoustique::camera_choisie()
{
    const QString id = comboBox_Camera->currentData().toString();
    button_Aligner->setChecked(false);
    if (id.isEmpty()) {
        if (camera_ != nullptr)
            camera_->stop();
        enregistre_camera(false);
        place_fond();
        label_Camera->setText(QString());
        dessine();
        return;
    }
    if (camera_ == nullptr) {
        camera_ = std::make_unique<camera::LiveCamera>();
        connect(camera_.get(), &camera::LiveCamera::picture, this, [this](const QImage& i) { montre_image_camera(i); });
        connect(camera_.get(), &camera::LiveCamera::lost, this, [this](const QString& why) { camera_perdue(why); });
        enregistreur_camera_ = std::make_unique<camera::CameraRecorder>();
        connect(enregistreur_camera_.get(), &camera::CameraRecorder::etat, this,
                [this](const QString& text) { label_Etat->setText(text); });
        camera_->set_recorder(enregistreur_camera_.get());
    }
    const QString name = comboBox_Camera->currentText();
    alignement_texte_.clear();
    reprend_geometrie_camera(name);
    for (const QCameraDevice& d : QMediaDevices::videoInputs())
        if (QString::fromUtf8(d.id()) == id)
            camera_->start(d);
    enregistreur_camera_->set_camera({name.toStdString(), geometrie_camera()});
    enregistre_camera(true);
    place_fond();
    label_Camera->setText(QStringLiteral("Caméra « %1 » : en attente d'images").arg(name));
    pose_camera();
    dessine();
}

void CarteAcoustique::camera_perdue(const QString& why)
{
    const QString name = camera_->name();
    camera_perdue_ = name;
    enregistre_camera(false);
    place_fond();
    {
        const QSignalBlocker quiet(comboBox_Camera);
        comboBox_Camera->setCurrentIndex(0);
    }
    button_Aligner->setChecked(false);
    label_Camera->setText(QStringLiteral("Caméra « %1 » %2 : la carte continue sans image").arg(name, why));
    dessine();
}

// A composed picture: the camera's under the map, as it was when composed.
void CarteAcoustique::montre_image_camera(const QImage& composed)
{
    if (!fond_.camera)
        return;
    pictureBox_Carte->setPixmap(QPixmap::fromImage(composed));
    if (camera_->pictures == 1 || camera_->pictures % 25 == 0)
        montre_etat_camera();
}

// The camera's state, and under it the last alignment's outcome.
void CarteAcoustique::montre_etat_camera()
{
    if (button_Aligner->isChecked())
        return;
    const QImage& last = camera_->last_picture();
    QString text = QStringLiteral("Caméra « %1 » : %2 × %3").arg(camera_->name()).arg(last.width()).arg(last.height());
    if (!alignement_texte_.isEmpty())
        text += QStringLiteral("\n") + alignement_texte_;
    label_Camera->setText(text);
}

// The recorder follows the runs while a camera is on: a camera chosen
// mid-run records from then on, one lost ends its video.
void CarteAcoustique::enregistre_camera(bool on)
{
    if (enregistreur_camera_ == nullptr || feed() == nullptr)
        return;
    if (on) {
        feed()->subscribe(enregistreur_camera_.get());
    } else {
        enregistreur_camera_->capture(feed::Capture::stopped, feed()->run());
        feed()->unsubscribe(enregistreur_camera_.get());
    }
}

am::CameraGeometry CarteAcoustique::geometrie_camera() const
{
    am::CameraGeometry c;
    c.fov_deg = numericUpDown_Champ->value();
    c.offset_x_mm = numericUpDown_Camera_X->value();
    c.offset_y_mm = numericUpDown_Camera_Y->value();
    c.mirror = checkBox_Miroir->isChecked();
    c.rotation_deg = comboBox_Rotation->currentData().toInt();
    return c;
}

void CarteAcoustique::set_geometrie_camera(const am::CameraGeometry& c)
{
    for (QWidget* w : std::initializer_list<QWidget*>{numericUpDown_Champ, numericUpDown_Camera_X, numericUpDown_Camera_Y,
                                                      checkBox_Miroir, comboBox_Rotation})
        w->blockSignals(true);
    numericUpDown_Champ->setValue(c.fov_deg);
    numericUpDown_Camera_X->setValue(c.offset_x_mm);
    numericUpDown_Camera_Y->setValue(c.offset_y_mm);
    checkBox_Miroir->setChecked(c.mirror);
    comboBox_Rotation->setCurrentIndex(std::max(0, comboBox_Rotation->findData(c.rotation_deg)));
    for (QWidget* w : std::initializer_list<QWidget*>{numericUpDown_Champ, numericUpDown_Camera_X, numericUpDown_Camera_Y,
                                                      checkBox_Miroir, comboBox_Rotation})
        w->blockSignals(false);
    geometrie_camera_changee();
}

void CarteAcoustique::reprend_geometrie_camera(const QString& name)
{
    const auto known = cameras_connues_.find(name);
    set_geometrie_camera(known != cameras_connues_.end() ? known->second : am::CameraGeometry{});
}

void CarteAcoustique::geometrie_camera_changee()
{
    if (camera_ != nullptr && camera_->active()) {
        cameras_connues_[camera_->name()] = geometrie_camera();
        enregistreur_camera_->set_camera({camera_->name().toStdString(), geometrie_camera()});
    }
    pose_camera();
    if (!image_video_.isNull()) {  // the recorded pictures, placed anew
        place_fond();
        dessine();
    }
}

// The recorded pictures lie as the camera sat when it filmed them; a video
// that does not say lies as the camera in the boxes.
am::CameraGeometry CarteAcoustique::geometrie_video() const
{
    const auto& kept = video_revue_ != nullptr ? video_revue_->index().tags.geometry : std::nullopt;
    return kept ? *kept : geometrie_camera();
}

// What lies under the map: in review, the recorded picture of the instant;
// else the live camera's pictures (composed as they come), or the photo.
void CarteAcoustique::place_fond()
{
    const bool recorded = video_revue_ != nullptr && relecture_montree() && !image_video_.isNull();
    fond_.camera = !recorded && camera_ != nullptr && camera_->active();
    if (recorded) {
        fond_.photo = image_video_;
        fond_.place = am::camera_placement(geometrie_video(), reglages().grid.z, image_video_.size());
    } else {
        fond_.photo = photo_fixe_;
        fond_.place = am::PicturePlacement{};
        fond_.place.width_m = numericUpDown_Largeur_Image->value();
        fond_.place.height_m = numericUpDown_Hauteur_Image->value();
    }
}

// The stage the camera's pictures are composed on: the map's grid and
// picture size, the camera's geometry.
void CarteAcoustique::pose_camera()
{
    if (camera_ == nullptr)
        return;
    camera::CameraStage stage;
    stage.camera = geometrie_camera();
    stage.grid = carte_valide ? reglages_carte.grid : reglages().grid;
    stage.cell = am::cell_pixels(pixels_carte(), stage.grid.side());
    camera_->composer().set_stage(stage);
}

void CarteAcoustique::aligner_bascule(bool on)
{
    if (on && (camera_ == nullptr || !camera_->active() || !carte_valide)) {
        button_Aligner->setChecked(false);
        label_Camera->setText(QStringLiteral("Aligner demande une caméra et une carte avec une source en vue"));
        return;
    }
    if (on)
        label_Camera->setText(QStringLiteral("Cliquez sur la source dans l'image"));
}

// The click shows where the picture has the source; the map's maximum is
// where the sound comes from: the picture moves onto the map.
void CarteAcoustique::aligne_sur(QPointF seen_m)
{
    button_Aligner->setChecked(false);
    const am::Alignment a = am::align_camera(geometrie_camera(), maximum, seen_m, reglages_carte.grid.z);
    set_geometrie_camera(a.corrected);
    ecart_alignement_deg = a.angle_deg;
    alignement_texte_ = QStringLiteral("Écart entre la carte et l'image : %1° ; position corrigée : x = %2 mm, y = %3 mm")
                            .arg(fmt::fr(a.angle_deg, 1), fmt::fr(a.corrected.offset_x_mm, 0),
                                 fmt::fr(a.corrected.offset_y_mm, 0));
    montre_etat_camera();
}

// Each camera's geometry under its name (percent-encoded: a name may hold
// a '/'), and the camera in use.
void CarteAcoustique::sauve_cameras(QSettings& s) const
{
    s.setValue(QStringLiteral("carte/camera"), camera_ != nullptr && camera_->active() ? camera_->name() : QString());
    for (const auto& [name, geometry] : cameras_connues_)
        s.setValue(QStringLiteral("carte/cameras/") + QString::fromLatin1(QUrl::toPercentEncoding(name)),
                   am::camera_text(geometry));
}

void CarteAcoustique::reprend_cameras(const QSettings& s)
{
    cameras_connues_.clear();
    const QString prefix = QStringLiteral("carte/cameras/");
    for (const QString& key : s.allKeys())
        if (key.startsWith(prefix))
            if (const auto geometry = am::camera_from_text(s.value(key).toString()))
                cameras_connues_[QUrl::fromPercentEncoding(key.mid(prefix.size()).toLatin1())] = *geometry;
    const QString name = s.value(QStringLiteral("carte/camera")).toString();
    if (name.isEmpty())
        return;
    if (comboBox_Camera->findText(name) > 0)
        choisit_camera(name);
    else
        camera_perdue_ = name;  // taken up when it is plugged in
}

} // namespace SonivarACQ32
