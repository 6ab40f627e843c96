#include "telescope/QtSerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>
#include <algorithm>

namespace nyxel {
namespace {

QtMessageHandler previous_handler = nullptr;
int quiet_ports = 0;

// Without a Qt application (nyxel-batch, the tests) QSerialPort cannot make its event notifiers and
// says so whenever it would. They are not needed: every wait here is a blocking wait on the descriptor.
void QuietNotifierWarning(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (text.startsWith(QLatin1String("QSocketNotifier: Can only be used with threads started with QThread")))
    return;
  if (previous_handler) previous_handler(type, context, text);
}

// Holds the filter for as long as a port lives, and only when there is no application.
struct QuietNotifiers {
  QuietNotifiers() : active(QCoreApplication::instance() == nullptr) {
    if (active && quiet_ports++ == 0) previous_handler = qInstallMessageHandler(QuietNotifierWarning);
  }
  ~QuietNotifiers() {
    if (active && --quiet_ports == 0) qInstallMessageHandler(previous_handler);
  }
  QuietNotifiers(const QuietNotifiers&) = delete;
  QuietNotifiers& operator=(const QuietNotifiers&) = delete;
  bool active;
};

}  // namespace

struct QtSerialPort::Impl {
  Impl(Drive d, SerialPeer* p) : drive(std::move(d)), peer(p) {}

  QuietNotifiers quiet;  // before the port, so it outlives it
  Drive drive;
  SerialPeer* peer;
  std::filesystem::path device;  // when set, opened instead of the drive's port
  QSerialPort port;
  uint64_t written = 0;   // characters written since the port opened
  uint64_t received = 0;  // characters taken out of the port (read or discarded)
  uint64_t answered = 0;  // what the peer has sent so far, by its own count

  bool Open() const { return port.isOpen(); }

  // Lets the peer take what was written; afterwards `answered` says how much it has sent back.
  void ServePeer() {
    if (peer) answered = peer->Serve(written);
  }

  // With a peer in this process: waits (bounded) until everything it sent has come in, so a clear or
  // a read sees the whole answer and a read need not wait for characters that will never come.
  void AwaitPeerAnswer() {
    if (!peer) return;
    QElapsedTimer timer;
    timer.start();
    while (received + static_cast<uint64_t>(port.bytesAvailable()) < answered &&
           timer.elapsed() < kReadLimitMs) {
      port.waitForReadyRead(static_cast<int>(std::max<qint64>(1, kReadLimitMs - timer.elapsed())));
    }
  }

  bool Flush() {
    QElapsedTimer timer;
    timer.start();
    while (port.bytesToWrite() > 0) {
      const qint64 left = kWriteLimitMs - timer.elapsed();
      if (left <= 0 || !port.waitForBytesWritten(static_cast<int>(left))) return port.bytesToWrite() == 0;
    }
    return true;
  }

  int Write(const char* data, int n) {
    if (!Open()) return kSerialNotOpen;
    if (n < 0) return kSerialWriteFailed;
    if (n == 0) return 0;
    const qint64 put = port.write(data, n);
    if (put != n || !Flush()) {
      port.clear(QSerialPort::Output);
      return kSerialWriteFailed;
    }
    written += static_cast<uint64_t>(n);
    ServePeer();
    return n;
  }
};

QtSerialPort::QtSerialPort(Drive drive, SerialPeer* peer)
    : impl_(std::make_unique<Impl>(std::move(drive), peer)) {}

QtSerialPort::QtSerialPort(std::filesystem::path device)
    : impl_(std::make_unique<Impl>(Drive(std::filesystem::path()), nullptr)) {
  impl_->device = std::move(device);
}

QtSerialPort::~QtSerialPort() {
  Done();
}

int QtSerialPort::Reset(int port, int rx_queue, int tx_queue) {
  if (port < 0 || port > 1 || rx_queue <= 0 || tx_queue <= 0) return kSerialNoDevice;
  Done();
  Impl& d = *impl_;
  const std::filesystem::path device = d.device.empty() ? d.drive.SerialPort(port + 1) : d.device;
  d.port.setPortName(QString::fromStdString(device.string()));
  if (!d.port.open(QIODevice::ReadWrite)) return kSerialNoDevice;
  d.port.setFlowControl(QSerialPort::NoFlowControl);
  d.port.clear(QSerialPort::AllDirections);
  d.written = d.received = d.answered = 0;
  if (d.peer) d.peer->Restart();
  return 0;
}

int QtSerialPort::Baud(int code) {
  Impl& d = *impl_;
  if (!d.Open()) return kSerialNotOpen;
  qint32 rate = 0;
  if (code == kBaud300) {
    rate = 300;
  } else if (code == kBaud9600) {
    rate = 9600;
  } else {
    return kSerialBadBaud;
  }
  return d.port.setBaudRate(rate) ? 0 : kSerialLineFailed;
}

int QtSerialPort::Parms(int parity, int stop_bits, int data_bits) {
  Impl& d = *impl_;
  if (!d.Open()) return kSerialNotOpen;
  if (parity != 0 || stop_bits != 0 || data_bits != 8) return kSerialBadParms;
  const bool ok = d.port.setParity(QSerialPort::NoParity) && d.port.setStopBits(QSerialPort::OneStop) &&
                  d.port.setDataBits(QSerialPort::Data8);
  return ok ? 0 : kSerialLineFailed;
}

int QtSerialPort::Dtr(char command) {
  Impl& d = *impl_;
  if (!d.Open()) return kSerialNotOpen;
  if (command != kLineSet && command != kLineClear) return kSerialLineFailed;
  // A pseudo-terminal or an adapter without modem lines refuses; that counts as done.
  if (!d.port.setDataTerminalReady(command == kLineSet)) d.port.clearError();
  return 0;
}

int QtSerialPort::Rts(char command) {
  Impl& d = *impl_;
  if (!d.Open()) return kSerialNotOpen;
  if (command != kLineSet && command != kLineClear) return kSerialLineFailed;
  if (!d.port.setRequestToSend(command == kLineSet)) d.port.clearError();
  return 0;
}

int QtSerialPort::Puts(const char* text, int n) {
  return impl_->Write(text, n);
}

int QtSerialPort::Putc(uint8_t byte) {
  const char c = static_cast<char>(byte);
  const int result = impl_->Write(&c, 1);
  return result < 0 ? result : 0;
}

int QtSerialPort::Gets(char* dest, int n) {
  Impl& d = *impl_;
  if (!d.Open()) return kSerialNotOpen;
  if (n <= 0) return 0;
  d.port.clearError();
  d.ServePeer();
  d.AwaitPeerAnswer();
  QElapsedTimer total;
  total.start();
  QElapsedTimer quiet;
  quiet.start();
  int count = 0;
  while (count < n) {
    char c = 0;
    if (d.port.bytesAvailable() > 0 && d.port.getChar(&c)) {
      ++d.received;
      dest[count++] = c;
      quiet.restart();
      if (c == '#') break;
      continue;
    }
    // The peer in this process has said all it will say.
    if (d.peer && d.received >= d.answered) break;
    const qint64 left = std::min<qint64>(kReadQuietMs - quiet.elapsed(), kReadLimitMs - total.elapsed());
    if (left <= 0) break;
    if (!d.port.waitForReadyRead(static_cast<int>(left)) && d.port.bytesAvailable() == 0) {
      if (d.port.error() != QSerialPort::NoError && d.port.error() != QSerialPort::TimeoutError) {
        d.port.clearError();
        return count > 0 ? count : kSerialReadFailed;
      }
    }
  }
  return count;
}

int QtSerialPort::RxClear() {
  Impl& d = *impl_;
  if (!d.Open()) return kSerialNotOpen;
  d.ServePeer();
  d.AwaitPeerAnswer();
  d.received += static_cast<uint64_t>(d.port.readAll().size());
  if (!d.peer) d.port.clear(QSerialPort::Input);
  return 0;
}

int QtSerialPort::Done() {
  Impl& d = *impl_;
  if (!d.Open()) return 0;
  d.port.close();
  return 0;
}

}  // namespace nyxel
