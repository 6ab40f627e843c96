#pragma once
// The byte-moving layer under the telescope commands: open a serial port with its line settings, move
// characters, close it. QtSerialPort drives a real port (or the simulator's pseudo-terminal);
// SimulatedMount answers in-process. The command code never asks which one it has.
#include <cstdint>

namespace nyxel {

// Results: 0 (or a count) for success, negative for failure.
inline constexpr int kSerialNoDevice = -1;     // the device cannot be opened
inline constexpr int kSerialNotOpen = -2;      // the call needs an open port
inline constexpr int kSerialBadBaud = -3;      // unknown baud code
inline constexpr int kSerialBadParms = -4;     // unsupported parity, stop bits or data bits
inline constexpr int kSerialLineFailed = -5;   // the device refused a line setting
inline constexpr int kSerialWriteFailed = -6;  // the characters could not be written
inline constexpr int kSerialReadFailed = -7;

// Baud codes the program uses.
inline constexpr int kBaud300 = 1;
inline constexpr int kBaud9600 = 5;
// Modem-line commands.
inline constexpr char kLineSet = 'S';
inline constexpr char kLineClear = 'C';

// A bounded read returns when the characters asked for have come, when a '#' ends an LX200 reply, or
// when the line has been quiet this long (at 9600 baud a character takes about 1 ms, and a mount
// answers a command within a few tens of milliseconds).
inline constexpr int kReadQuietMs = 250;
// No read waits longer than this in all, however slowly the characters trickle in.
inline constexpr int kReadLimitMs = 1000;
// Writing a command to a port whose far end does not take it gives up after this long.
inline constexpr int kWriteLimitMs = 500;

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Opens port 0 (first) or 1 (second) with receive and transmit queues of these sizes.
  virtual int Reset(int port, int rx_queue, int tx_queue) = 0;
  virtual int Baud(int code) = 0;
  // parity 0 none, stop bits 0 one, data bits 8.
  virtual int Parms(int parity, int stop_bits, int data_bits) = 0;
  // kLineSet or kLineClear. A device without modem lines reports them as done.
  virtual int Dtr(char command) = 0;
  virtual int Rts(char command) = 0;
  // Writes n characters; returns n or a failure.
  virtual int Puts(const char* text, int n) = 0;
  virtual int Putc(uint8_t byte) = 0;
  // Reads up to n characters into dest (bounded, see kReadQuietMs); returns the count.
  virtual int Gets(char* dest, int n) = 0;
  // Discards whatever has been received and not read.
  virtual int RxClear() = 0;
  virtual int Done() = 0;
};

// A far end that lives in this process (the simulated mount on its pseudo-terminal): it takes and
// answers the written characters only when it is given the turn, on the caller's thread, so it reads
// the same clock at the moment the characters were sent and nothing else touches what it moves.
class SerialPeer {
 public:
  virtual ~SerialPeer() = default;
  // Takes the characters written so far (`written` counts them since the port opened) and answers
  // them; waits a short, bounded time for characters still in transit. Returns how many characters
  // it has sent back since the port opened.
  virtual uint64_t Serve(uint64_t written) = 0;
  // The port was opened again: the count starts over.
  virtual void Restart() = 0;
};

}  // namespace nyxel
