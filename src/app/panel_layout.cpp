// The fixed controls of the window, column by column: left (logos,
// frequency, duration, start and trigger, recording, advanced settings),
// middle (microphone group, elapsed time, information pane) and right
// (comment box, comment button, progress).
#include "app/panel_layout.h"

#include "app/principale.h"
#include "recording/comment_limit.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QWheelEvent>

#include <algorithm>
#include <string_view>

namespace SonivarACQ32::panel {

namespace {

// Init, Start, Abort, Stop, Fichier and the comment button share one size.
constexpr int button_width = 150;
constexpr int button_height = 38;
// Column edges.
constexpr int left_x = margin;
constexpr int left_right_x = 230;    // controls beside the left column's panels
constexpr int middle_x = 390;
constexpr int right_x = 682;
constexpr int pane_y = 300;

template <class T>
T* create(QWidget* parent, const char* name, QRect geometry)
{
    auto* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(geometry);
    return widget;
}

template <class T>
T* create(QWidget* parent, const char* name, QRect geometry, const QString& text, QFont font)
{
    T* widget = create<T>(parent, name, geometry);
    widget->setText(text);
    widget->setFont(font);
    return widget;
}

QPushButton* main_button(QWidget* parent, const char* name, QPoint at, const QString& text,
                         int points = 16)
{
    return create<QPushButton>(parent, name, QRect(at, QSize(button_width, button_height)),
                               text, gothic(points, true));
}

QLabel* caption(QWidget* parent, const char* name, QRect geometry, const QString& text)
{
    auto* label = create<QLabel>(parent, name, geometry, text, gothic(12, true));
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

QLabel* logo(QWidget* parent, const char* name, QRect geometry, const QString& resource)
{
    auto* label = create<QLabel>(parent, name, geometry);
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(QPixmap(resource).scaled(geometry.size(), Qt::KeepAspectRatio,
                                              Qt::SmoothTransformation));
    return label;
}

void set_background(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The key of the level colours shows its picture as it is in every state: a
// disabled label would draw it tinted, and the Micros group that holds it is
// disabled for the whole run, the only time the bar is shown.
class ColourKey : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, pixmap());
    }
};

// One wheel notch moves the frequency list by exactly one entry, as its
// scroll arrows do (the platform's default would move three).
class OneEntryWheel : public QObject {
public:
    explicit OneEntryWheel(QAbstractScrollArea* area) : QObject(area), area_(area) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        accumulated_ += static_cast<QWheelEvent*>(event)->angleDelta().y();
        for (; accumulated_ >= 120; accumulated_ -= 120)
            area_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        for (; accumulated_ <= -120; accumulated_ += 120)
            area_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return true;
    }

private:
    QAbstractScrollArea* area_;
    int accumulated_ = 0;
};

// Keeps the comment within its limit whatever way the text came in: after
// each change, what does not fit is cut from the end of the inserted part.
class CommentLimit : public QObject {
public:
    explicit CommentLimit(QPlainTextEdit* box) : QObject(box), box_(box)
    {
        QTextDocument* document = box->document();
        connect(document, &QTextDocument::contentsChange, this, [this](int at, int, int added) {
            end_ = at + added;
            added_ = added;
        });
        connect(document, &QTextDocument::contentsChanged, this, [this] { enforce(); });
    }

private:
    void enforce()
    {
        if (cutting_ || added_ <= 0)
            return;
        const QString text = box_->toPlainText();
        const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()),
                                       static_cast<std::size_t>(text.size()));
        const int end = std::min(end_, static_cast<int>(text.size()));
        const auto cut = static_cast<int>(comment_excess(view, static_cast<std::size_t>(end),
                                                         static_cast<std::size_t>(added_)));
        added_ = 0;
        if (cut == 0)
            return;
        cutting_ = true;
        QTextCursor cursor(box_->document());
        cursor.setPosition(end - cut);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cutting_ = false;
    }

    QPlainTextEdit* box_;
    int end_ = 0;
    int added_ = 0;
    bool cutting_ = false;
};

} // namespace

QPushButton* button_under(QWidget* parent, const QWidget* above, const QString& text, const char* name, int height)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    const QRect over = above->geometry();
    button->setGeometry(over.x(), over.bottom() + 4, over.width(), height);
    button->setFont(gothic(12, true));
    return button;
}

QFont gothic(int points, bool bold)
{
    QFont font(QStringLiteral("Century Gothic"));
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

namespace {

// A group box of the panel with its bold 14-point title.
QGroupBox* titled_group(QWidget* parent, const char* name, QRect geometry, const QString& title)
{
    auto* group = create<QGroupBox>(parent, name, geometry);
    group->setTitle(title);
    group->setFont(gothic(14, true));
    return group;
}

} // namespace

void build_window(Principale& w)
{
    w.setObjectName(QStringLiteral("Principale"));
    w.setWindowTitle(QStringLiteral("Corvalle - Institut Rameaux - Sonivar ACQ_32 V3.2.0 (décembre 2022)"));
    w.setWindowIcon(QIcon(QStringLiteral(":/sonivar.png")));
    w.resize(client_width, client_height);
    w.pictureBox_Telmi = logo(&w, "pictureBox_Telmi", QRect(left_x, 8, 180, 66),
                              QStringLiteral(":/logo_telmi.png"));
    w.pictureBox_Orvane = logo(&w, "pictureBox_Orvane", QRect(200, 8, 180, 66),
                               QStringLiteral(":/logo_orvane.png"));
}

void build_frequency_and_duration(Principale& w)
{
    w.panel_Init = create<QFrame>(&w, "panel_Init", QRect(left_x, 84, 212, 32));
    w.panel_Init->setFont(gothic(12, true));
    w.label_Init = caption(w.panel_Init, "label_Init", QRect(0, 0, 122, 32),
                           QStringLiteral("Fréquence (Hz)"));

    // One entry high: the entry scrolled into view is the frequency chosen,
    // and the scroll arrows step through the list one entry at a time.
    QListWidget* list = create<QListWidget>(w.panel_Init, "listBox_Freq", QRect(124, 4, 88, 23));
    w.listBox_Freq = list;
    list->setFont(gothic(12, true));
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setUniformItemSizes(true);
    // The entries with trailing spaces would be cut to "20 00…": the spaces
    // are clipped instead and the digits show whole.
    list->setTextElideMode(Qt::ElideNone);
    for (const QString& text : frequency_items())
        (new QListWidgetItem(text, list))->setSizeHint(QSize(60, 19));
    list->viewport()->installEventFilter(new OneEntryWheel(list));
    // Lay the entries out now rather than at the first show, so the list
    // scrolls and reports its top entry even while the window is hidden.
    QResizeEvent sized(list->size(), QSize());
    QCoreApplication::sendEvent(list, &sized);
    list->doItemsLayout();

    w.button_Init = main_button(&w, "button_Init", QPoint(left_right_x, 81), QStringLiteral("Init"));

    w.panel_Duree = create<QFrame>(&w, "panel_Duree", QRect(left_x, 126, 212, 32));
    w.panel_Duree->setFont(gothic(12, true));
    w.label_Duree = caption(w.panel_Duree, "label_Duree", QRect(0, 0, 122, 32),
                            QStringLiteral("Durée (s)"));
    QDoubleSpinBox* duree = create<QDoubleSpinBox>(w.panel_Duree, "numericUpDown_Duree",
                                                   QRect(124, 3, 88, 26));
    w.numericUpDown_Duree = duree;
    duree->setFont(gothic(12, true));
    duree->setDecimals(1);
    duree->setRange(0.0, 300.0);
    duree->setSingleStep(0.1);
    duree->setValue(5.0);
    // A typed value counts once it is entered, not at every keystroke.
    duree->setKeyboardTracking(false);

    w.checkBox_Definie = create<QCheckBox>(&w, "checkBox_Definie", QRect(left_right_x, 126, 150, 32),
                                           QStringLiteral("Durée définie"), gothic(14, true));
    w.checkBox_Definie->setChecked(true);
}

void build_start(Principale& w)
{
    w.button_Start = main_button(&w, "button_Start", QPoint(left_x, 170), QStringLiteral("Start"));
    w.button_Abort = main_button(&w, "button_Abort", QPoint(left_x, 212), QStringLiteral("Abort"));
    w.button_Abort->hide();
    w.button_Stop = main_button(&w, "button_Stop", QPoint(left_x, 254), QStringLiteral("Stop"));
    w.button_Stop->hide();

    w.panel_Start = create<QFrame>(&w, "panel_Start", QRect(170, 166, 210, 118));
    w.panel_Start->setFont(gothic(12, true));
    w.groupBox_Start_Trig = create<QGroupBox>(w.panel_Start, "groupBox_Start_Trig",
                                              QRect(0, 0, 78, 118));
    w.groupBox_Start_Trig->setTitle(QStringLiteral("Trig Start"));
    auto source = [&](const char* name, int y, const QString& text) {
        QRadioButton* radio = create<QRadioButton>(w.groupBox_Start_Trig, name, QRect(6, y, 70, 24));
        radio->setText(text);
        return radio;
    };
    w.radioButton_Start_Soft = source("radioButton_Start_Soft", 28, QStringLiteral("Soft"));
    w.radioButton_Start_Soft->setChecked(true);
    w.radioButton_Start_Trig1 = source("radioButton_Start_Trig1", 56, QStringLiteral("Trig1"));
    w.radioButton_Start_Trig2 = source("radioButton_Start_Trig2", 84, QStringLiteral("Trig2"));
    w.radioButton_Start_Trig2->hide();

    w.groupBox_Start_Trig_Mode = create<QGroupBox>(w.panel_Start, "groupBox_Start_Trig_Mode",
                                                   QRect(84, 0, 126, 118));
    w.groupBox_Start_Trig_Mode->hide();
    auto condition = [&](const char* name, int y, const QString& text) {
        return create<QRadioButton>(w.groupBox_Start_Trig_Mode, name, QRect(6, y, 118, 22), text,
                                    gothic(8, true));
    };
    w.radioButton_Start_FM = condition("radioButton_Start_FM", 12, QStringLiteral("Front montant"));
    w.radioButton_Start_FM->setChecked(true);
    w.radioButton_Start_FD = condition("radioButton_Start_FD", 38, QStringLiteral("Front descendant"));
    w.radioButton_Start_EH = condition("radioButton_Start_EH", 64, QStringLiteral("Etat haut"));
    w.radioButton_Start_EB = condition("radioButton_Start_EB", 90, QStringLiteral("Etat bas"));
}

void build_recording(Principale& w)
{
    w.checkBox_Record = create<QCheckBox>(&w, "checkBox_Record", QRect(left_x, 300, 170, 32),
                                          QStringLiteral("Enregistrement"), gothic(14, true));
    w.checkBox_Record->setChecked(true);
    w.button_Fichier = main_button(&w, "button_Fichier", QPoint(left_right_x, 297),
                                   QStringLiteral("Fichier"));
    w.checkBox_Test = create<QCheckBox>(&w, "checkBox_Test", QRect(left_x, 342, 170, 26),
                                        QStringLiteral("Mode avancé"), gothic(12, true));
}

void build_advanced_group(Principale& w)
{
    QGroupBox* group = titled_group(&w, "groupBox_Test", QRect(left_x, 374, 368, 295),
                                    QStringLiteral("Mode avancé"));
    w.groupBox_Test = group;
    group->hide();
    const QFont face = gothic(12, true);
    auto reset = [&](const char* name, QPoint at, const QString& text) {
        return create<QPushButton>(group, name, QRect(at, QSize(170, 36)), text, face);
    };
    w.button_Reset_Micros = reset("button_Reset_Micros", QPoint(10, 40),
                                  QStringLiteral("Reset Micros (B0/00)"));
    w.button_Reset_PH = reset("button_Reset_PH", QPoint(10, 86), QStringLiteral("Reset PH (C4)"));
    w.button_Reset_FX3 = reset("button_Reset_FX3", QPoint(188, 40), QStringLiteral("Reset FX3 (C0)"));

    w.groupBox_Data_Type = create<QGroupBox>(group, "groupBox_Data_Type", QRect(10, 136, 170, 96));
    w.groupBox_Data_Type->setTitle(QStringLiteral("Data Type"));
    w.groupBox_Data_Type->setFont(face);
    w.radioButton_Integer = create<QRadioButton>(w.groupBox_Data_Type, "radioButton_Integer",
                                                 QRect(14, 32, 140, 24), QStringLiteral("Integer"), face);
    w.radioButton_Integer->setChecked(true);
    w.radioButton_Float = create<QRadioButton>(w.groupBox_Data_Type, "radioButton_Float",
                                               QRect(14, 62, 140, 24), QStringLiteral("Float"), face);

    w.groupBox_Delay = create<QGroupBox>(group, "groupBox_Delay", QRect(188, 86, 170, 66));
    w.groupBox_Delay->setTitle(QStringLiteral("Delay"));
    w.groupBox_Delay->setFont(face);
    QDoubleSpinBox* delay = create<QDoubleSpinBox>(w.groupBox_Delay, "numericUpDown_Delay",
                                                   QRect(14, 30, 80, 26));
    w.numericUpDown_Delay = delay;
    delay->setFont(face);
    delay->setDecimals(0);
    delay->setRange(0.0, 16.0);
    delay->setSingleStep(1.0);
    delay->setValue(10.0);
    delay->setKeyboardTracking(false);  // one delay command per entered value

    w.checkBox_Compteur = create<QCheckBox>(group, "checkBox_Compteur", QRect(188, 168, 150, 26),
                                            QStringLiteral("Compteur"), face);
    w.checkBox_Compteur->setChecked(true);
    w.checkBox_Status = create<QCheckBox>(group, "checkBox_Status", QRect(188, 202, 150, 26),
                                          QStringLiteral("Status"), face);
}

void build_micros_group(Principale& w)
{
    QGroupBox* group = titled_group(&w, "groupBox_Micros", QRect(middle_x, 8, 282, 246),
                                    QStringLiteral("Micros"));
    w.groupBox_Micros = group;

    // Only the word shows: the beam headings cover the numbers that follow.
    // It sits under the group's border, which this style draws below the
    // title rather than through it.
    const int heading_y = std::max(26, group->contentsRect().top());
    w.label_Faisceaux = create<QLabel>(group, "label_Faisceaux", QRect(8, heading_y, 72, 16),
                                       QStringLiteral("Faisceaux   0    1    2    3"),
                                       gothic(10, false));
    w.label_Micros = create<QLabel>(group, "label_Micros", QRect(44, 45, 24, 149),
                                    QStringLiteral("\r\nM\r\ni\r\nc\r\nr\r\no\r\ns"),
                                    gothic(10, false));
    w.label_Micros->setAlignment(Qt::AlignCenter);

    // The level scale, shown in place of the all box during a run.
    w.panel_dB = create<QFrame>(group, "panel_dB", QRect(217, 56, 56, 128));
    w.panel_dB->setFont(gothic(12, true));
    w.panel_dB->hide();
    w.pictureBox_ColorBar = create<ColourKey>(w.panel_dB, "pictureBox_ColorBar", QRect(0, 0, 23, 128));
    set_background(w.pictureBox_ColorBar, Qt::red);
    auto mark = [&](const char* name, QRect at, const QString& text) {
        QLabel* label = create<QLabel>(w.panel_dB, name, at, text, gothic(9, false));
        label->setContentsMargins(0, 0, 0, 0);
        label->setMargin(0);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    w.label_120 = mark("label_120", QRect(26, 0, 30, 25), QStringLiteral("120"));
    w.label_60 = mark("label_60", QRect(26, 58, 22, 25), QStringLiteral("60"));
    w.label_0 = mark("label_0", QRect(26, 109, 30, 25), QStringLiteral("0"));

    w.label_Duree_Ecoulee = caption(&w, "label_Duree_Ecoulee", QRect(middle_x, 262, 270, 28),
                                    QStringLiteral("Durée écoulée"));
    w.label_Duree_Ecoulee->hide();
}

void build_right_column(Principale& w)
{
    QGroupBox* group = titled_group(&w, "groupBox_Comment", QRect(right_x, 8, 368, 188),
                                    QStringLiteral("Commentaire (1024 car. max)"));
    w.groupBox_Comment = group;
    group->hide();
    w.textBox_Comment = create<QPlainTextEdit>(group, "textBox_Comment", QRect(8, 32, 352, 148));
    w.textBox_Comment->setFont(gothic(12, false));
    w.textBox_Comment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    new CommentLimit(w.textBox_Comment);

    w.button_Comment = main_button(&w, "button_Comment", QPoint(right_x, 202),
                                   QStringLiteral("Commentaire"), 15);

    // The scale label sets the panel's width; the bar spans it.
    w.panel_Progress = create<QFrame>(&w, "panel_Progress", QRect(0, 246, 0, 48));
    w.label_Progress = create<QLabel>(w.panel_Progress, "label_Progress", QRect(0, 24, 0, 22),
                                      QStringLiteral("0%                                  50%"
                                                     "                                100%"),
                                      gothic(12, false));
    w.label_Progress->adjustSize();
    const int width = w.label_Progress->width();
    w.panel_Progress->setGeometry(client_width - margin - width, 246, width, 48);
    w.progressBar_Progress = create<QProgressBar>(w.panel_Progress, "progressBar_Progress",
                                                  QRect(0, 0, width, 20));
    w.progressBar_Progress->setTextVisible(false);
    w.progressBar_Progress->setValue(0);
    w.panel_Progress->hide();
}

void build_information_pane(Principale& w)
{
    QPlainTextEdit* pane = create<QPlainTextEdit>(&w, "textBox_Info", QRect());
    w.textBox_Info = pane;
    pane->setFont(gothic(9, false));
    pane->setReadOnly(true);
    // The operator cannot edit it: no undo history, which would keep every
    // text the pane ever showed, dropped ones included.
    pane->document()->setUndoRedoEnabled(false);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    stretch_information_pane(w);
}

void stretch_information_pane(Principale& w)
{
    const int width = std::max(100, w.width() - middle_x - margin);
    w.textBox_Info->setGeometry(middle_x, pane_y, width, client_height - margin - pane_y);
}

} // namespace SonivarACQ32::panel
