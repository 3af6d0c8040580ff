#pragma once
// The unit's vendor command set. commande(n) sends request 0xB0 + n with the
// first n + 1 bytes of buf; buf[0] is the function code of the request.
// The resets are requests of their own with no data.
namespace SonivarACQ32::vendor {

// Request 0xB0 (commande(0)).
constexpr unsigned char reset_micros = 0x00;
// Request 0xB1 (commande(1)): function, then one byte.
constexpr unsigned char clock_division = 0x01;
constexpr unsigned char start = 0x02;       // then the trigger byte
constexpr unsigned char stop = 0x03;        // then 0x00
constexpr unsigned char n_delay = 0x07;
constexpr unsigned char data_type = 0x09;   // then 1: float32, 0: int32
// Request 0xB3 (commande(3)): function, 0x00, beam (0xFF: the extra
// channels), mask.
constexpr unsigned char beam_activation = 0x05;
constexpr unsigned char extra_channels_beam = 0xFF;
// Request 0xB4 (commande(4)): function, then the count, least significant
// byte first.
constexpr unsigned char sample_count = 0x04;
// Requests without data.
constexpr int reset_fx3_request = 0xC0;
constexpr int reset_ph_request = 0xC4;

} // namespace SonivarACQ32::vendor
