// mervsim register/: the emulated register: its link protocol, its tables, its set-up, its faults.
#pragma once
// TFaultInjector: the faults the emulated register shows on purpose, as the
// command line asks for them, and the counters that say when each is due.
// Counters of frames and replies start again with every connection; the
// counters of records with every transfer.
//
//   bad check      record K of a download goes out with a wrong second check
//                  byte, for its first N sends (the repeats included);
//   status reply   the reply to a chosen frame carries a chosen status byte
//                  instead of the register's own answer, COUNT times:
//                  "enq", "dtx", "drq" (every such command frame), "record:K"
//                  (record K of an upload, counted from 1 in its table) or
//                  "frame:N" (the N-th frame received on the connection when
//                  it is a command frame or an upload record);
//   empty          every DRQ is answered with the end frame (nothing to send);
//   silent after   frames after the N-th of a connection get no answer;
//   drop after     the connection is dropped after record K of a transfer
//                  (sent in a download, received in an upload);
//   store wrong    record K of an upload is accepted but stored changed.
#include <cstdint>
#include <optional>
#include <vector>

enum class TFrameKind { Enq, Dtx, Drq, Record, Other };

struct TStatusReplyRule {
  enum class Target { Frame, Enq, Dtx, Drq, Record };
  Target Aim = Target::Frame;
  /// Frame number for Frame, record number for Record; unused otherwise.
  int Number = 0;
  std::uint8_t Status = 0;
  int Count = 1;
};

struct TFaultOptions {
  /// 0: no record is corrupted.
  int BadCheckRecord = 0;
  int BadCheckSends = 1;
  std::vector<TStatusReplyRule> StatusReplies;
  bool Empty = false;
  std::optional<int> SilentAfter;
  std::optional<int> DropAfter;
  /// 0: every record is stored as received.
  int StoreWrongRecord = 0;
};

class TFaultInjector {
public:
  explicit TFaultInjector(TFaultOptions options);

  void StartConnection();
  void StartTransfer();

  /// The status that replaces the reply to this frame, or none. Counts the
  /// use of the rule that matched. `recordNumber` is the record's number in
  /// its upload (0 for command frames).
  std::optional<std::uint8_t> StatusFor(TFrameKind kind, int frameNumber, int recordNumber);
  /// Whether this send of the record goes out with a wrong check byte;
  /// counts the send.
  bool CorruptsSend(int recordNumber);
  /// Whether frame number `frameNumber` of the connection is left unanswered.
  bool Silent(int frameNumber) const;
  bool DropsAfter(int recordNumber) const;
  bool Empty() const { return options_.Empty; }
  /// The number of the upload record stored wrongly, 0 for none.
  int WronglyStoredRecord() const { return options_.StoreWrongRecord; }

private:
  bool Matches(const TStatusReplyRule& rule, TFrameKind kind, int frameNumber, int recordNumber) const;

  TFaultOptions options_;
  std::vector<int> repliesUsed_;
  int badSends_ = 0;
};
