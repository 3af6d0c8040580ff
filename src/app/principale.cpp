#include "app/principale.h"

#include "app/info_pane.h"
#include "diffusion/diffusion.h"
#include "platform/dialogs.h"
#include "platform/signals.h"
#include "recording/header_record.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QTextDocument>

#include <cstring>

// Qt's resource initialiser must be called from the global namespace.
static void init_resources() { Q_INIT_RESOURCE(sonivar); }

namespace SonivarACQ32 {

// ------------------------------------------------ class-wide shared state
const std::array<std::int32_t, 17> Principale::FREQ = {
    10, 11, 12, 13, 14, 15, 16, 20, 25, 40, 50, 80, 100, 125, 160, 200, 250};
const std::array<std::int32_t, 17> Principale::DELAY = {
    10, 9, 9, 9, 9, 9, 9, 8, 8, 7, 7, 7, 7, 7, 7, 7, 7};
std::array<bool, sw::count> Principale::enabled{};
QPlainTextEdit* Principale::txtBox_Info = nullptr;
bool Principale::test = false;
std::int32_t Principale::TimeOut = 0;
std::int32_t Principale::nb_voies = 0;
bool Principale::compteur = false;
std::array<std::uint32_t, nb_slots> Principale::a_ecrire{};
libusb_transfer_cb_fn Principale::callback = nullptr;
bool Principale::fini = false;
bool Principale::record = false;
bool Principale::erreur_compteur = false;
bool Principale::test_init = false;
bool Principale::err_timeout = false;
std::array<bool, nb_slots> Principale::transf_arret{};
std::array<libusb_transfer*, nb_slots> Principale::transfert{};
std::array<unsigned char*, nb_slots> Principale::buffers{};
std::int32_t Principale::val_compteur = 0;
std::int32_t Principale::increment_compteur = 0;
std::int32_t Principale::increment_position = 0;
std::uint32_t Principale::position_compteur = 0;
std::FILE* Principale::Filep = nullptr;
std::uint32_t Principale::num_pkt = 0;
std::uint64_t Principale::ntr = 0;
std::uint64_t Principale::ntw = 0;
Principale::OwnState Principale::own;

// ------------------------------------------------------------- start-up
Principale::Principale()
{
    init_resources();
    platform::ignore_file_size_signal();
    InitializeComponent();

    initialisation_FX3 = false;
    initialisation = false;
    record = true;
    count = 0;
    test = false;
    TimeOut = 2000;

    creation_cases();
    duree_max = 1.0f;
    own.pane_text.clear();
    txtBox_Info = textBox_Info;

    // The comment area starts as 1024 spaces; the activation flags as zeros.
    std::memset(header_file.texte_commentaire, 0x20, sizeof header_file.texte_commentaire);
    commentaires = false;
    std::memset(header_file.compteurs_actifs, 0, sizeof header_file.compteurs_actifs);
    std::memset(header_file.va_actives, 0, sizeof header_file.va_actives);
    std::memset(header_file.micros_actifs, 0, sizeof header_file.micros_actifs);

    init_colorbar();
    set_tab_order();

    enable_only(sw::init);
}

Principale::~Principale()
{
    Dispose(true);
    if (txtBox_Info == textBox_Info)
        txtBox_Info = nullptr;
}

// ------------------------------------------------------------- shut-down
void Principale::Dispose(bool disposing)
{
    if (!disposing || disposed)
        return;
    disposed = true;
    // Only a link that was opened is reset and released: a window whose
    // unit was never found makes no USB call at all.
    if (handle != nullptr) {
        if (!own.unit_lost)
            reset_micros();
        close_link();
    }
}

void Principale::closeEvent(QCloseEvent* event)
{
    // A run in progress is stopped first; the window closes once its files
    // are written (see the end of the run).
    if (run_active) {
        close_requested = true;
        event->ignore();
        if (run.waiting)
            button_Abort_Click();
        else if (!stopped)
            button_Stop_Click();
        return;
    }
    Dispose(true);
    event->accept();
}

// ------------------------------------------------------ message routine
void Principale::call_verb(const QString& text, int mode)
{
    // The text is kept exactly as given, "\r\n" included; the pane shows it
    // with plain line feeds. Both keep only their newest characters.
    own.pane_text += text;
    own.pane_text.remove(0, pane::excess(own.pane_text.size()));
    if (txtBox_Info != nullptr) {
        QTextDocument* document = txtBox_Info->document();
        QTextCursor cursor(document);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(pane::shown(text, cursor.positionInBlock()));
        if (const int over = static_cast<int>(pane::excess(document->characterCount() - 1))) {
            QTextCursor oldest(document);
            oldest.setPosition(over, QTextCursor::KeepAnchor);
            oldest.removeSelectedText();
        }
        // The newest line stays in view, as the operator follows the run.
        txtBox_Info->moveCursor(QTextCursor::End);
        txtBox_Info->ensureCursorVisible();
    }
    if (mode == 1) {
        QWidget* parent = txtBox_Info != nullptr ? txtBox_Info->window() : nullptr;
        platform::dialogs().alert(parent, QStringLiteral("Erreur"),
                                  QStringLiteral("Alerte : ") + text);
    }
}

} // namespace SonivarACQ32
