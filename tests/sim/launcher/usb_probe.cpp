// usb-probe: a libusb host for the launcher's tests, driven line by line on
// stdin, answering one line on stdout per command. One libusb context lives
// for the whole process, as in the program, so that plugging and unplugging
// must reach it through hotplug events.
//   open            "found" or "absent"
//   stream SECONDS [zero-copy]
//                   streams every channel at the unit's power-on clock for
//                   SECONDS, then Stop: "bytes N" (the bytes received), and
//                   " zero-copy" when asked for and given such buffers
//   rss             "rss KB" of the launcher (our parent process)
//   die             starts streaming with the ring queued and kills itself
//                   (SIGKILL) with its transfers in flight
#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <csignal>
#include <unistd.h>

namespace {

constexpr int transfer_bytes = 1048576;
constexpr int ring = 8;

libusb_device_handle* open_unit(libusb_context* ctx)
{
    return libusb_open_device_with_vid_pid(ctx, 0xFE27, 0xAC03);
}

int send(libusb_device_handle* h, unsigned char request, std::vector<unsigned char> data)
{
    return libusb_control_transfer(h, 0x40, request, 0, 0, data.data(),
                                   static_cast<std::uint16_t>(data.size()), 1000);
}

struct Stream {
    long long bytes = 0;
    int in_flight = 0;
    bool ended = false;
};

void LIBUSB_CALL done(libusb_transfer* t)
{
    auto* s = static_cast<Stream*>(t->user_data);
    if (t->status == LIBUSB_TRANSFER_COMPLETED) {
        s->bytes += t->actual_length;
        s->ended |= t->actual_length < t->length;
        if (!s->ended && libusb_submit_transfer(t) == 0)
            return;
    }
    --s->in_flight;
}

long long stream(libusb_context* ctx, libusb_device_handle* h, double seconds, bool& zero_copy)
{
    for (unsigned char beam = 0; beam < 4; ++beam)
        send(h, 0xB3, {0x05, 0x00, beam, 0xFF});
    send(h, 0xB3, {0x05, 0x00, 0xFF, 0xC0});
    send(h, 0xB4, {0x04, 0, 0, 0, 0});
    Stream s;
    std::vector<libusb_transfer*> transfers;
    for (int i = 0; i < ring; ++i) {
        libusb_transfer* t = libusb_alloc_transfer(0);
        unsigned char* buffer = zero_copy ? libusb_dev_mem_alloc(h, transfer_bytes) : nullptr;
        zero_copy = buffer != nullptr;
        if (buffer == nullptr)
            buffer = new unsigned char[transfer_bytes];
        libusb_fill_bulk_transfer(t, h, 0x81, buffer, transfer_bytes, done, &s, 0);
        if (libusb_submit_transfer(t) == 0)
            ++s.in_flight;
        transfers.push_back(t);
    }
    send(h, 0xB1, {0x02, 0x00});
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < until && s.in_flight > 0) {
        timeval tv{0, 100000};
        libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
    }
    send(h, 0xB1, {0x03, 0x00});
    while (s.in_flight > 0 && !s.ended) {
        timeval tv{0, 100000};
        libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
    }
    for (libusb_transfer* t : transfers)
        libusb_cancel_transfer(t);
    while (s.in_flight > 0) {
        timeval tv{0, 100000};
        libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
    }
    for (libusb_transfer* t : transfers) {
        if (zero_copy)
            libusb_dev_mem_free(h, t->buffer, transfer_bytes);
        else
            delete[] t->buffer;
        libusb_free_transfer(t);
    }
    return s.bytes;
}

[[noreturn]] void die_streaming(libusb_context* ctx, libusb_device_handle* h)
{
    send(h, 0xB3, {0x05, 0x00, 0x00, 0xFF});
    send(h, 0xB4, {0x04, 0, 0, 0, 0});
    Stream s;
    for (int i = 0; i < ring; ++i) {
        libusb_transfer* t = libusb_alloc_transfer(0);
        libusb_fill_bulk_transfer(t, h, 0x81, new unsigned char[transfer_bytes], transfer_bytes, done, &s, 0);
        if (libusb_submit_transfer(t) == 0)
            ++s.in_flight;
    }
    send(h, 0xB1, {0x02, 0x00});
    timeval tv{0, 50000};
    libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
    raise(SIGKILL);
    _exit(1);
}

long parent_rss_kb()
{
    std::ifstream status("/proc/" + std::to_string(getppid()) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

} // namespace

int main()
{
    libusb_context* ctx = nullptr;
    if (libusb_init(&ctx) != 0)
        return 1;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "open") {
            libusb_device_handle* h = open_unit(ctx);
            std::cout << (h != nullptr ? "found" : "absent") << std::endl;
            if (h != nullptr)
                libusb_close(h);
        } else if (command == "stream") {
            double seconds = 0;
            std::string memory;
            words >> seconds >> memory;
            bool zero_copy = memory == "zero-copy";
            libusb_device_handle* h = open_unit(ctx);
            long long bytes = -1;
            if (h != nullptr && libusb_claim_interface(h, 0) == 0) {
                bytes = stream(ctx, h, seconds, zero_copy);
                libusb_release_interface(h, 0);
            }
            if (h != nullptr)
                libusb_close(h);
            std::cout << "bytes " << bytes << (zero_copy ? " zero-copy" : "") << std::endl;
        } else if (command == "die") {
            libusb_device_handle* h = open_unit(ctx);
            if (h != nullptr && libusb_claim_interface(h, 0) == 0)
                die_streaming(ctx, h);
            std::cout << "absent" << std::endl;
        } else if (command == "rss") {
            std::cout << "rss " << parent_rss_kb() << std::endl;
        }
    }
    libusb_exit(ctx);
    return 0;
}
