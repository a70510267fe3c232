#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/traffic_log.h"

/// Takes the printable lines of a report (the report collector).
class LineConsumer {
 public:
  virtual ~LineConsumer() = default;
  virtual void FeedLine(const std::string& line) = 0;
  /// Hears of a line that is not fed because it holds a byte outside
  /// printable ASCII, in its place among the fed lines.
  virtual void LineLeftOut(const std::string& /*line*/) {}
};

/// The on-screen list of received lines.
class LineList {
 public:
  virtual ~LineList() = default;
  /// Adds the line as the new last item and selects it.
  virtual void AddLine(const std::string& line) = 0;
};

/// Where the drain loop reads from: the open port.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Reads what is there, at most `size` bytes, without waiting; the count
  /// read, 0 when nothing is there or the read failed.
  virtual uint32_t Read(char* buffer, uint32_t size) = 0;
};

/// Turns the bytes that arrive on the serial port into lines: a line ends
/// at CR, LF is stripped from both of its ends, and each line goes to the
/// traffic log, then to the report collector (fed when printable, named as
/// left out otherwise), then to the list, in that order.
///
/// Every received byte is kept, NUL included. A run of more than
/// kMaxLineLength bytes without CR (line noise, a wrong baud rate) is cut
/// into lines of kMaxLineLength bytes, so memory stays bounded on any
/// stream; where the cuts fall depends only on the bytes, never on how they
/// were chunked.
///
/// A reader set to end its lines with LF alone sends text that never forms
/// a line here; the path counts such LF-ended lines since the last CR so
/// that the user can be told once per run of them.
class ReceivePath {
 public:
  static constexpr uint32_t kChunkSize = 100;
  static constexpr size_t kMaxLineLength = 65536;
  static constexpr uint32_t kRxChar = 0x0001;
  /// LF-ended lines without a CR after which the reader is taken for one
  /// that ends its lines with LF alone.
  static constexpr size_t kLineFeedLines = 8;

  ReceivePath(LineLog& log, LineConsumer* collector, LineList& list)
      : log_(log), collector_(collector), list_(list) {}

  /// Handles one notification of the port listener: when `events` has
  /// kRxChar, drains `port` in reads of kChunkSize bytes until a shorter
  /// read, cutting out every complete line after each read; otherwise cuts
  /// out the complete lines already received.
  void OnSerialMessage(uint32_t events, ByteSource* port);
  /// Appends received bytes without cutting lines.
  void Append(const char* data, size_t size);
  /// Cuts every complete line out of the buffer and delivers it.
  void ExtractLines();
  /// Bytes received and not yet delivered as a line.
  size_t PendingBytes() const { return buffer_.size() - start_; }
  /// The bytes not yet delivered, as the line they would make if a CR came
  /// now (LF stripped from both ends); empty when they would make none.
  std::string_view UnfinishedLine() const;
  /// Every byte appended so far.
  uint64_t BytesReceived() const { return received_; }
  /// True once per run of bytes without CR, when that run holds at least
  /// `atLeast` lines of text ended by LF alone.
  bool TakeLineFeedWarning(size_t atLeast = kLineFeedLines);
  /// The consumer of printable lines; may be null.
  void SetCollector(LineConsumer* collector) { collector_ = collector; }

  /// True when every byte lies in 0x20..0x7E; an empty line is printable.
  static bool IsPrintableLine(std::string_view line);

 private:
  void Deliver(std::string_view raw);
  // Counts the LF that end a line of text in [from, to): an LF right after
  // a CR or after another LF is a CR LF ending or a blank line, not a sign
  // of a reader that ends lines with LF alone.
  void CountLineFeeds(size_t from, size_t to);

  LineLog& log_;
  LineConsumer* collector_;
  LineList& list_;
  std::string buffer_;
  size_t start_ = 0;    // first byte not yet delivered
  size_t scanned_ = 0;  // bytes from start_ up to here hold no CR
  std::string line_;    // the line being delivered; reused for the next
  uint64_t received_ = 0;
  size_t lineFeedLines_ = 0;  // LF-ended lines of text since the last CR
  bool lineFeedTold_ = false;  // told of in this run (or due to be)
  bool lineFeedDue_ = false;   // a run reached kLineFeedLines; not yet taken
};
