#pragma once
// The FFh doubling of the register's network adapter on TCP ports 14000 to
// 14009: every FFh byte travels twice on the wire, in both directions, and
// the receiver drops the copy. The end frame FF FF 00 02 is sent as
// FF FF FF FF 00 02. TFfDoubling undoubles a received stream that arrives in
// pieces (a copy may come in the next piece) and doubles what is sent.
//
// The byte after an FFh is its copy and is dropped whatever it is: a peer
// that sends FF x (x not FFh) loses x, as the module always read it.
#include <string>
#include <string_view>

inline constexpr int FirstDoublingPort = 14000;
inline constexpr int LastDoublingPort = 14009;

class TFfDoubling {
public:
  static constexpr char Ff = '\xFF';

  static bool AppliesTo(int tcpPort) { return tcpPort >= FirstDoublingPort && tcpPort <= LastDoublingPort; }

  /// Every FFh byte twice.
  static std::string Double(std::string_view bytes);
  /// The bytes with the byte after each FFh removed; state carries over to
  /// the next piece.
  std::string Undouble(std::string_view piece);
  /// The last piece ended with an FFh whose copy has not come yet.
  bool CopyExpected() const { return copyExpected_; }

private:
  bool copyExpected_ = false;
};
