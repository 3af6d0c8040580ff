#pragma once
// The acquisition window. One window class holds every operation and all the
// state they share; its routines are defined in the subsystem folders
// (app, device, selection, acquisition, recording, display).
//
// Everything is public: the tests drive the window as an operator would and
// read its state. Class-wide (static) fields are those the transfer
// completion routine reaches: it is a plain libusb callback, and the
// transfers are filled without user data, so the class is its only way to
// the window's state. The message routine it calls is class-wide for the
// same reason. The program's own class-wide fields, beside the named ones,
// are gathered in `own`.
#include "app/switches.h"
#include "feed/packet_feed.h"
#include "stream/frame_layout.h"
#include "stream/samples.h"

#include <libusb.h>

#include <QFile>
#include <QWidget>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QCloseEvent;
class QDoubleSpinBox;

class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace SonivarACQ32 {

class CarteAcoustique;
class SpectreAcoustique;
namespace feed {
class LiveWindow;
}
namespace diffusion {
class Diffusion;
}

constexpr int nb_slots = 8;                    // transfers kept queued
constexpr unsigned char endpoint_data = 0x81;  // bulk IN endpoint of the unit

class Principale : public QWidget {
    Q_OBJECT

public:
    Principale();
    ~Principale() override;

    // ---------------------------------------------------------------- app
    // Message routine: mode 1 also shows a modal alert after the text is in
    // the pane; any other mode only appends.
    static void call_verb(const QString& text, int mode);
    // The shut-down sequence of the window, run once (close or destruction).
    void Dispose(bool disposing);
    void closeEvent(QCloseEvent* event) override;

    // Control panel (src/app/control_panel.cpp).
    void InitializeComponent();
    void enable();
    void keys_follow_the_run();
    void set_all_enabled(bool value);  // sets the twelve switches as a block
    void enable_only(std::size_t on);     // every switch off but `on`, then applied
    void enable_all_but(std::size_t off); // every switch on but `off`, then applied
    void checkBox_Test_CheckedChanged();
    void checkBox_Definie_CheckedChanged();
    void radioButton_Start_Soft_CheckedChanged();
    void numericUpDown_Duree_ValueChanged();
    void resizeEvent(QResizeEvent* event) override;  // the pane follows the width
    // The keyboard's order through the controls (src/app/tab_order.cpp).
    std::vector<QWidget*> tab_order() const;
    void set_tab_order();

    static const std::array<std::int32_t, 17> FREQ;
    static const std::array<std::int32_t, 17> DELAY;
    static std::array<bool, sw::count> enabled;  // indexed by the names of app/switches.h
    static QPlainTextEdit* txtBox_Info;
    static bool test;        // advanced mode
    bool disposed = false;   // the shut-down sequence has run

    // Controls, left column.
    QLabel* pictureBox_Telmi = nullptr;
    QLabel* pictureBox_Orvane = nullptr;
    QFrame* panel_Init = nullptr;
    QLabel* label_Init = nullptr;
    QListWidget* listBox_Freq = nullptr;
    QPushButton* button_Init = nullptr;
    QFrame* panel_Duree = nullptr;
    QLabel* label_Duree = nullptr;
    QDoubleSpinBox* numericUpDown_Duree = nullptr;
    QCheckBox* checkBox_Definie = nullptr;
    QPushButton* button_Start = nullptr;
    QFrame* panel_Start = nullptr;
    QGroupBox* groupBox_Start_Trig = nullptr;
    QRadioButton* radioButton_Start_Soft = nullptr;
    QRadioButton* radioButton_Start_Trig1 = nullptr;
    QRadioButton* radioButton_Start_Trig2 = nullptr;
    QGroupBox* groupBox_Start_Trig_Mode = nullptr;
    QRadioButton* radioButton_Start_FM = nullptr;
    QRadioButton* radioButton_Start_FD = nullptr;
    QRadioButton* radioButton_Start_EH = nullptr;
    QRadioButton* radioButton_Start_EB = nullptr;
    QPushButton* button_Abort = nullptr;
    QPushButton* button_Stop = nullptr;
    QCheckBox* checkBox_Record = nullptr;
    QPushButton* button_Fichier = nullptr;
    QCheckBox* checkBox_Test = nullptr;
    QGroupBox* groupBox_Test = nullptr;
    QPushButton* button_Reset_Micros = nullptr;
    QPushButton* button_Reset_PH = nullptr;
    QPushButton* button_Reset_FX3 = nullptr;
    QGroupBox* groupBox_Delay = nullptr;
    QDoubleSpinBox* numericUpDown_Delay = nullptr;
    QGroupBox* groupBox_Data_Type = nullptr;
    QRadioButton* radioButton_Integer = nullptr;
    QRadioButton* radioButton_Float = nullptr;
    QCheckBox* checkBox_Compteur = nullptr;
    QCheckBox* checkBox_Status = nullptr;
    // Controls, middle and right columns.
    QGroupBox* groupBox_Micros = nullptr;
    QLabel* label_Faisceaux = nullptr;
    QLabel* label_Micros = nullptr;
    QFrame* panel_dB = nullptr;
    QLabel* pictureBox_ColorBar = nullptr;
    QLabel* label_120 = nullptr;
    QLabel* label_60 = nullptr;
    QLabel* label_0 = nullptr;
    QLabel* label_Duree_Ecoulee = nullptr;
    QPlainTextEdit* textBox_Info = nullptr;
    QGroupBox* groupBox_Comment = nullptr;
    QPlainTextEdit* textBox_Comment = nullptr;
    QPushButton* button_Comment = nullptr;
    QFrame* panel_Progress = nullptr;
    QProgressBar* progressBar_Progress = nullptr;
    QLabel* label_Progress = nullptr;

    // ------------------------------------------------------------- device
    int init_USB();
    static int write_command(libusb_device_handle* dev, int request, unsigned char* data,
                             int length);
    int commande(int n);
    bool ensure_link();  // opens the link when it is closed; true when open
    // Releases and closes the link and gives back libusb's context; sends
    // nothing, so it serves for a unit that has gone as well.
    void close_link();
    // The unit has gone (a transfer or a command met no device): the
    // operator is told once, the link closed, the chosen files closed, and
    // the panel is back to "not initialised".
    void unit_gone();
    void reset_micros();
    void button_Reset_FX3_Click();
    void button_Reset_PH_Click();
    void button_Reset_Micros_Click();
    void button_Init_Click();
    int initialise();
    int test_boitier();

    libusb_device_handle* handle = nullptr;
    bool initialisation_FX3 = false;
    bool initialisation = false;
    static std::int32_t TimeOut;     // ms, vendor requests and run transfers
    std::array<unsigned char, 16> buf{};  // data bytes of the command being sent

    // ---------------------------------------------------------- selection
    void creation_cases();
    void micro_valide(QCheckBox* sender);
    void faisceaux_valide(QCheckBox* sender);
    void tout_valide(QCheckBox* sender);
    void affiche_cases(bool acquisition);
    void choix_micros();

    std::array<std::array<QCheckBox*, 8>, 4> grid{};   // [beam][microphone]
    std::array<std::array<QFrame*, 8>, 4> grid_n{};    // level cells
    std::array<QCheckBox*, 4> faisceaux_T{};
    std::array<QLabel*, 4> num_faisceaux{};
    std::array<QLabel*, 9> num_micros{};
    QCheckBox* paq_T = nullptr;
    std::int32_t nb_micros = 0;
    std::array<std::int32_t, 32> num_mic_valid{};
    static std::int32_t nb_voies;    // 32-bit words per frame
    static bool compteur;            // counter channel present and checked

    // -------------------------------------------------------- acquisition
    // Frequency and timing.
    void listBox_Freq_Click();
    void numericUpDown_Delay_ValueChanged();
    void calcul_count();
    // The entry scrolled into the frequency list's one line (control panel).
    int list_top_index() const;

    bool clock_def = false;
    bool count_def = false;
    std::uint32_t count = 0;
    std::int32_t num_freq = 0;
    float duree_max = 1.0f;
    float duree = 0.0f;
    float frequence = 0.0f;

    // Transfer ring, shared with the completion routine.
    static void LIBUSB_CALL fn_callback(libusb_transfer* transfer);
    // The one place where the program waits for USB events: at most
    // timeout_ms, returns libusb's result.
    static int usb_wait(int timeout_ms);
    // Allocates, fills and submits the eight transfers (with `timeout` ms).
    void start_ring(unsigned int timeout);
    // The two halves of start_ring, for a caller that works between them:
    // alloc_ring sets callback, allocates the transfers and their buffers
    // (uniformly filled) and fills them; submit_ring zeroes the run
    // counters, clears the stop flags and submits the slots in order.
    void alloc_ring(unsigned int timeout);
    void submit_ring();
    // Handles events until every submitted transfer has called back, then
    // frees the transfers and their buffers.
    void drain_and_free_ring();
    // A run that ended without the unit's end of stream: Stop is sent and
    // what the unit still sends is read and dropped, so that the next run
    // starts at the first frame.
    void take_back_stream();
    static int slot_of(const libusb_transfer* transfer);

    static std::array<std::uint32_t, nb_slots> a_ecrire;
    static libusb_transfer_cb_fn callback;
    static bool fini;
    static bool record;
    static bool erreur_compteur;
    static bool test_init;
    static bool err_timeout;
    static std::array<bool, nb_slots> transf_arret;
    static std::array<libusb_transfer*, nb_slots> transfert;
    static std::array<unsigned char*, nb_slots> buffers;
    static std::int32_t val_compteur;
    static std::int32_t increment_compteur;
    static std::int32_t increment_position;
    static std::uint32_t position_compteur;
    static std::FILE* Filep;
    static std::uint32_t num_pkt;
    static std::uint64_t ntr;
    static std::uint64_t ntw;
    // What the ring keeps between completions, beside the slots above.
    struct RingState {
        // Slot i has been submitted and its callback has not come yet.
        std::array<bool, nb_slots> pending{};
        // libusb_dev_mem_alloc failed for this ring: no zero-copy memory here.
        bool zero_copy_refused = false;
        // The counter reference of this ring is set. It comes from the first
        // packet checked, not from completion 0: when the first transfer
        // fails, the stream starts in the next one, and a reference left over
        // from an earlier ring would report a counter error that is not there.
        bool reference_taken = false;
        // The unit ended its stream with a short packet during this ring.
        bool end_of_stream = false;
        // Transfers submitted whose callback has not come.
        int in_flight() const;
    };
    // The program's own class-wide fields. One struct, so that a test puts
    // them all back at their start-up values in one assignment.
    struct OwnState {
        QString pane_text;           // everything call_verb appended, "\r\n" kept
        // A transfer or a command has met no device since the link was opened.
        bool unit_lost = false;
        std::array<bool, nb_slots> buffer_is_dev_mem{};  // from libusb_dev_mem_alloc
        RingState ring;
        bool write_failed = false;   // a write to the data file came up short
        int write_errno = 0;         // errno of that short write, 0 when none was given
        bool carte_ouverte = false;  // the map window is shown
        // Pascal per count of each microphone; none: levels in dBFS.
        std::optional<stream::Calibration> etalonnage;
        // The calibrator's measurements, by global index.
        std::array<std::optional<float>, stream::calibrated_microphones> mesures_etalonneur{};
        // The run's data for the windows that show it live.
        feed::PacketFeed feed;
        // The run's transfers are followed as they fill (zero-copy memory);
        // how much of the one in flight has been seen filled.
        bool follow_in_flight = false;
        // The transfers of this run have no zero-copy memory: the live
        // windows see each only once it completes (said once).
        bool whole_transfers_said = false;
        std::size_t in_flight_seen = 0;
        // Start was pressed from the keyboard: Abort, then Stop, take the
        // focus as they appear, so that the next key ends the run.
        bool started_from_keyboard = false;
    };
    static OwnState own;

    // Run start, trigger wait, run loop, end of run.
    void button_Start_Click();
    void button_Abort_Click();
    void button_Stop_Click();
    // The stages of the Start handler (src/acquisition/run_*.cpp).
    bool prepare_run();              // checks and settings; false: start refused
    bool check_disk_space();         // file chosen and room for the run
    std::uint8_t start_trigger_byte() const;
    void size_run();
    void launch_run();               // transfers queued, then the start command
    bool wait_for_trigger();         // false when the wait was aborted
    bool trigger_seen() const;
    void abort_before_trigger();
    void cancel_all_transfers(bool report);
    void run_begins();
    void run_loop();
    bool run_loop_should_end();
    void apply_automatic_stops();
    void end_of_run();
    void report_totals(std::uint32_t end_tick);
    void follow_stream_in_flight();
    void drop_torn_frame();

    std::uint32_t n_pkt = 0;
    std::int32_t retour = 0;
    bool stopped = false;
    bool aborted = false;
    bool run_active = false;         // inside button_Start_Click
    bool close_requested = false;    // the window was closed during a run

    // Values held by the Start handler for the whole run.
    struct RunValues {
        std::uint64_t requested_bytes = 0;
        std::uint64_t usable_space = 0;
        bool waiting = false;
        std::array<unsigned char, nb_slots> reference{};
        std::uint32_t start_tick = 0;
        std::uint32_t stop_tick = 0;     // when Stop was sent
        std::int32_t base_timeout = 0;   // the run's TimeOut without the trigger allowance
        bool write_reported = false;     // the short write has been reported
        bool ring_dropped = false;       // every transfer dropped out
        std::uint32_t trigger_late_ms = 0;  // how long the trigger showed after it came
        std::uint32_t last_offer_tick = 0;  // the transfer in flight last offered
        std::uint64_t offered_end = 0;      // how far the feed had offered then
        stream::FrameLayout layout;          // reused by the level display
    } run;

    // ---------------------------------------------------------- recording
    void checkBox_Record_CheckedChanged();
    void button_Fichier_Click();
    void button_Comment_Click();
    // Closes the file set: with write_description, the end of a run (data
    // file, then header and description written); without, an abandon.
    void close_file_set(bool write_description);
    void ecrit_log();
    // The companions as they read for a run that recorded nothing yet,
    // written when the run begins; ecrit_log rewrites them at the end.
    void write_early_companions();
    void write_companions(bool final_version);
    // Creates the three files of acqui_name; when one cannot be created it
    // says so, closes those already open and returns false.
    bool companions_may_be_replaced(const QString& data_path);
    bool open_file_set();
    void close_data_file();
    void open_comment_box();
    void close_comment_box();

    bool file_open = false;
    bool commentaires = false;
    std::unique_ptr<QFile> log;      // description file ".log"
    std::unique_ptr<QFile> Zv;       // header file ".Zv"
    QString acqui_name;
    QString commentaire;

    // ------------------------------------------------------------ display
    void init_colorbar();
    void update_levels();            // one pass of the level display
    // Levels of the last 2000 frames filled in the transfer in flight, or
    // of those filled when fewer have come; false when too few have.
    bool in_flight_levels();
    void paint_levels(const int* indices, int shown);

    std::uint32_t num_pkt_aff = 0;
    std::array<std::int32_t, 128> R_jet{};
    std::array<std::int32_t, 128> V_jet{};
    std::array<std::int32_t, 128> B_jet{};

    // ---------------------------------------------------------------- map
    // The acoustic map window (src/map), opened by its button; it takes the
    // run's data from the feed.
    void creation_carte();
    void button_Carte_Click();
    void fit_to_screen(QWidget* window) const;
    void place_beside(QWidget* window) const;
    void place_where_it_was(QWidget* window, const char* key) const;
    // A live window of our own, new: it does not keep the program open, it
    // takes its kept settings, and gives back its settings and place (under
    // `place_key`) whenever it hides.
    void prepare_live_window(feed::LiveWindow* window, const char* place_key);
    // Shown, raised and given the focus.
    static void bring_forward(QWidget* window);

    QPushButton* button_Carte = nullptr;
    CarteAcoustique* carte = nullptr;     // null until first opened, kept afterwards

    // ----------------------------------------------------------- spectrum
    // The spectrum window (src/spectrum), opened by its button or from the
    // map window; it takes the run's data from the feed.
    void creation_spectre();
    void button_Spectre_Click();
    void relie_carte_spectre();

    QPushButton* button_Spectre = nullptr;
    SpectreAcoustique* spectre = nullptr;  // null until first opened, kept afterwards

    // -------------------------------------------------------- calibration
    // The array's calibration (src/spectrum): each returns false, with the
    // reason shown in the spectrum window, when nothing changed.
    bool charge_etalonnage(const QString& path);
    // The calibrator of `niveau_db` SPL at `frequence_hz` on one microphone
    // over the last second: that microphone's factor.
    bool mesure_etalonneur(double niveau_db, double frequence_hz);
    // Every microphone's factor: the measured ones, the others from the
    // calibration in use or the measured ones' mean; then in use.
    bool enregistre_etalonnage(const QString& path);
    void applique_etalonnage(const std::optional<stream::Calibration>& calibration);
    void dit_etalonnage(const QString& text);
    void reprend_etalonnage();
    void relie_etalonnage();

    // ---------------------------------------------------------- diffusion
    // "Diffuser le flux" (advanced settings, kept between sessions): each
    // run that streams feeds a PipeWire node (src/diffusion) from the feed.
    void creation_diffusion();
    void checkBox_Diffusion_CheckedChanged();

    QCheckBox* checkBox_Diffusion = nullptr;
    QCheckBox* checkBox_Pascal = nullptr;   // the node in pascal (with a calibration)
    std::unique_ptr<diffusion::Diffusion> diffusion;

    // --------------------------------------------------------------- feed
    // The run's frame layout as the controls set it now.
    stream::FrameLayout live_layout() const;
    void refresh_layout(stream::FrameLayout& layout) const;  // the same, in place
    // A run starts (awaiting its trigger or streaming), begins, or ends.
    void feed_run_starting(bool awaiting_trigger);
    static void feed_capture(feed::Capture state);
    // The filled part of the zero-copy transfer in flight, when it is long
    // enough to show: handed to the feed, and what the level display reads.
    struct InFlight {
        const unsigned char* data = nullptr;  // its first byte
        std::size_t filled = 0;               // bytes filled
        std::uint64_t stream_position = 0;    // of its first byte
    };
    InFlight in_flight() const;
    void offer_in_flight();
};

// A line for the information pane, without the alert.
inline void info(const QString& text) { Principale::call_verb(text, 0); }

} // namespace SonivarACQ32
