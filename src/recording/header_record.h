#pragma once
// The header record: one process-wide, fixed-layout, little-endian record of
// 2097 bytes, saved as it stands to the ".Zv" file of every recording.
#include "platform/local_time.h"

#include <bit>
#include <cstddef>
#include <cstdint>

namespace SonivarACQ32 {

#pragma pack(push, 1)
struct type_header_file {
    platform::SYSTEMTIME date;           // local time the acquisition began streaming
    std::uint8_t micros_actifs[1024];    // byte 8*beam + mic: 1 when acquired (128 beams)
    std::uint8_t va_actives[16];         // analog inputs, 4 blocks of 4: always 0 here
    std::uint8_t compteurs_actifs[4];    // [0]: packet counter acquired
    float freq;                          // sampling frequency, Hz
    std::uint32_t nb_ech;                // samples per channel written
    float duree_acq;                     // recorded duration, s
    std::uint8_t type_float;             // 1: float32 samples, 0: int32
    std::uint8_t texte_commentaire[1024];// comment in Windows-1252
};
#pragma pack(pop)

// The record is written byte for byte, so the host must be little-endian.
static_assert(std::endian::native == std::endian::little, "little-endian host expected");
static_assert(sizeof(float) == 4, "IEEE single precision expected");
static_assert(sizeof(type_header_file) == 2097, "the header file is 2097 bytes");
static_assert(offsetof(type_header_file, date) == 0);
static_assert(offsetof(type_header_file, micros_actifs) == 16);
static_assert(offsetof(type_header_file, va_actives) == 1040);
static_assert(offsetof(type_header_file, compteurs_actifs) == 1056);
static_assert(offsetof(type_header_file, freq) == 1060);
static_assert(offsetof(type_header_file, nb_ech) == 1064);
static_assert(offsetof(type_header_file, duree_acq) == 1068);
static_assert(offsetof(type_header_file, type_float) == 1072);
static_assert(offsetof(type_header_file, texte_commentaire) == 1073);

// The record the program fills and saves. All bytes are zero at start.
extern type_header_file header_file;

} // namespace SonivarACQ32
