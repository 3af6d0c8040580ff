// The map window's pictures: a photo of the scene under the map, the point
// to listen to chosen on the map, and the map saved as a framed PNG.
#include "carte/carte_acoustique.h"
#include "carte/video_export.h"
#include "spectrogramme/spectrogramme.h"
#include "stream/saved_file.h"

#include "app/format.h"
#include "stream/input_file.h"
#include "picture/scene_photo.h"

#include <QDoubleSpinBox>
#include <QEvent>
#include <QBuffer>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace SonivarACQ32 {

namespace am = acoustic_map;

QLayout* CarteAcoustique::build_picture_controls()
{
    button_Image = new QPushButton(QStringLiteral("Image de fond…"));
    trackBar_Opacite = new QSlider(Qt::Horizontal);
    trackBar_Opacite->setRange(0, 100);
    trackBar_Opacite->setValue(static_cast<int>(fond_.opacity * 100.0));
    numericUpDown_Seuil = spin_box(1.0, 60.0, 1.0, 0, fond_.threshold_db, QStringLiteral(" dB"));
    numericUpDown_Largeur_Image = spin_box(0.05, 100.0, 0.1, 2, fond_.place.width_m, QStringLiteral(" m"));
    numericUpDown_Hauteur_Image = spin_box(0.05, 100.0, 0.1, 2, fond_.place.height_m, QStringLiteral(" m"));
    label_Orientation = new QLabel(QStringLiteral("Vue depuis l'antenne : x vers la droite, y vers le haut"));
    // On one line: a wrapped label in a form is given too little height.
    button_Enregistrer_Image = new QPushButton(QStringLiteral("Enregistrer l'image…"));
    auto* form = new QFormLayout;
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(button_Image);
    form->addRow(QStringLiteral("Opacité de la carte"), trackBar_Opacite);
    form->addRow(QStringLiteral("Niveaux montrés"), numericUpDown_Seuil);
    form->addRow(QStringLiteral("Largeur de l'image"), numericUpDown_Largeur_Image);
    form->addRow(QStringLiteral("Hauteur de l'image"), numericUpDown_Hauteur_Image);
    form->addRow(label_Orientation);
    button_Exporter_Video = new QPushButton(QStringLiteral("Exporter la vidéo…"));
    button_Exporter_Video->setToolTip(QStringLiteral("L'enregistrement ouvert en vidéo MP4 de ses cartes"));
    label_Video = new QLabel;
    label_Video->setWordWrap(true);
    auto* saves = new QHBoxLayout;
    saves->addWidget(button_Enregistrer_Image);
    saves->addWidget(button_Exporter_Video);
    form->addRow(saves);
    form->addRow(label_Video);
    connect(button_Image, &QPushButton::clicked, this, [this] { button_Image_Click(); });
    connect(button_Enregistrer_Image, &QPushButton::clicked, this, [this] { button_Enregistrer_Image_Click(); });
    connect(button_Exporter_Video, &QPushButton::clicked, this, [this] { button_Exporter_Video_Click(); });
    export_video_ = new VideoExport(this);
    connect(export_video_, &VideoExport::avance, this, &CarteAcoustique::export_avance);
    connect(export_video_, &VideoExport::fini, this, [this](const QString& text) { export_fini(text); });
    connect(trackBar_Opacite, &QSlider::valueChanged, this, [this] { fond_change(); });
    for (QDoubleSpinBox* box : {numericUpDown_Seuil, numericUpDown_Largeur_Image, numericUpDown_Hauteur_Image})
        connect(box, &QDoubleSpinBox::valueChanged, this, [this] { fond_change(); });
    return form;
}

void CarteAcoustique::fond_change()
{
    fond_.opacity = trackBar_Opacite->value() / 100.0;
    fond_.threshold_db = numericUpDown_Seuil->value();
    place_fond();
    dessine();
}

bool CarteAcoustique::charge_image(const QString& path)
{
    QString why;
    const QImage photo = picture::read_scene_photo(path, why);
    const QFileInfo file(path);
    if (photo.isNull()) {
        label_Etat->setText(QStringLiteral("Image de fond illisible (%1) : %2").arg(file.fileName(), why));
        return false;
    }
    photo_fixe_ = photo;
    fichier_image_ = file.absoluteFilePath();
    fond_change();
    return true;
}

void CarteAcoustique::set_point_ecoute(double x, double y)
{
    point_ecoute = QPointF(x, y);
    label_Ecoute->setText(QStringLiteral("Point écouté : x = %1 m, y = %2 m").arg(fmt::fr(x, 2), fmt::fr(y, 2)));
    dessine();
    if (spectrogramme_ != nullptr)
        spectrogramme_->set_point(am::Position{x, y, numericUpDown_Distance->value()});
}

// A click on the map chooses the point to listen to.
bool CarteAcoustique::eventFilter(QObject* watched, QEvent* event)
{
    const bool mouse = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseMove ||
                       event->type() == QEvent::MouseButtonRelease;
    if (watched == pictureBox_Carte && mouse && carte_valide)
        return souris_carte(event);
    if (watched == pictureBox_Carte && event->type() == QEvent::Resize)
        dessine();  // the map fills its new room
    return feed::LiveWindow::eventFilter(watched, event);
}

// The files the window reads: the recording under review, the geometry,
// the photo. A saved file never replaces one of them.
std::vector<stream::FileIdentity> CarteAcoustique::fichiers_lus() const
{
    std::vector<stream::FileIdentity> reads;
    if (revue_.enregistrement)
        reads = stream::input_identities(*revue_.enregistrement);
    for (const QString& path : {fichier_geometrie, fichier_image_})
        if (const auto identity = path.isEmpty() ? std::nullopt : stream::identity_of(path.toStdString()))
            reads.push_back(*identity);
    return reads;
}

bool CarteAcoustique::enregistre_image(const QString& png_path)
{
    QString why = carte_valide ? QString() : QStringLiteral("pas de carte à enregistrer");
    if (why.isEmpty()) {
        const am::MapView view = vue();
        am::Annotations notes;
        notes.unit = unite;
        notes.number = am::french_number;
        notes.lines = am::map_facts(reglages_carte, derniere_carte,
                                    revue_.enregistrement ? fenetre_texte() : QStringLiteral("En direct"), am::french_number);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        am::framed_picture(am::draw_map(view), view, notes).save(&buffer, "PNG");
        why = stream::save_whole(png_path, png, fichiers_lus());
    }
    if (!why.isEmpty()) {
        label_Etat->setText(QStringLiteral("Image non enregistrée (%1) : %2").arg(QFileInfo(png_path).fileName(), why));
        return false;
    }
    label_Etat->setText(QStringLiteral("Image enregistrée : ") + QFileInfo(png_path).fileName());
    return true;
}

void CarteAcoustique::button_Image_Click()
{
    propose_fichier(QStringLiteral("Image de la scène"), QStringLiteral("Images (*.png *.jpg *.jpeg);;Tous les fichiers (*)"),
                    platform::FileKind::photos, false, [this](const QString& path) { charge_image(path); });
}

void CarteAcoustique::button_Enregistrer_Image_Click()
{
    propose_fichier(QStringLiteral("Enregistrer l'image de la carte"), QStringLiteral("Images PNG (*.png)"),
                    platform::FileKind::exports, true,
                    [this](const QString& path) { enregistre_image(path); });
}

} // namespace SonivarACQ32
