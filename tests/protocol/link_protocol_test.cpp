#include "protocol/link_protocol.h"

#include <gtest/gtest.h>

#include "base/kom_error.h"
#include "model/soubory.h"
#include "scripted_register.h"
#include "test_support.h"

namespace {

class LinkProtocol : public ::testing::Test {
protected:
  void SetUp() override { port.Open(settings, 1); }

  TLinkProtocol Link(std::uint8_t netId = 0, std::string model = "") {
    return TLinkProtocol(port, TLinkBytes{}, netId, std::move(model));
  }

  TScriptedRegister peer;
  TNastaveni settings = ComLineSettings();
  TPort port{peer};
};

TEST(Frame, CommandFramesAndAcknowledgements) {
  EXPECT_EQ(CommandFrame(0xE9, 0, 0x03), Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}));
  EXPECT_EQ(WithCheckBytes(Bytes({0xD7, 0x06})), Bytes({0xD7, 0x06, 0xD1, 0x52}));
  EXPECT_EQ(WithCheckBytes(Bytes({0xD7, 0x15})), Bytes({0xD7, 0x15, 0xC2, 0x52}));
  EXPECT_EQ(WithCheckBytes(Bytes({0xFF, 0xFF})), EndFrame);
}

// The ECR family's DTX is D0h in the program's window and D3h in the
// command-line mode, the one the module runs in.
TEST(Frame, CommandBytesFollowTheFamilyAndTheMode) {
  TSoubory catalogue;
  const auto bytesOf = [&catalogue] { return LinkBytesOf(catalogue.CmFamily, catalogue.CommandLineMode); };
  EXPECT_EQ(bytesOf().Enq, 0xE9);
  EXPECT_EQ(bytesOf().Dtx, 0xD0);
  EXPECT_EQ(bytesOf().Drq, 0xD9);
  catalogue.CommandLineMode = true;
  EXPECT_EQ(bytesOf().Enq, 0xE9);
  EXPECT_EQ(bytesOf().Dtx, 0xD3);
  EXPECT_EQ(bytesOf().Drq, 0xD7);
  EXPECT_EQ(bytesOf().MaxModelCode, 23);
  catalogue.ModelName = "CM-1846S";
  catalogue.ApplyModelLayout();
  EXPECT_TRUE(catalogue.CmFamily);
  EXPECT_EQ(bytesOf().Enq, 0xE8);
  EXPECT_EQ(bytesOf().Dtx, 0xD2);
  EXPECT_EQ(bytesOf().Drq, 0xD8);
  EXPECT_EQ(bytesOf().MaxModelCode, 8);
}

TEST(Frame, DecimalToBcdTakesDigitsAsNibbles) {
  EXPECT_EQ(DecimalToBcd("15"), 0x15);
  EXPECT_EQ(DecimalToBcd("3"), 0x03);
  EXPECT_EQ(DecimalToBcd("85"), 0x85);
  EXPECT_EQ(DecimalToBcd("123"), 0x23) << "higher digits are shifted out";
}

TEST(Frame, TableCodesOfTablesAndResets) {
  TLinkBytes ecr;
  TSoubor plu;
  plu.Number = 3;
  EXPECT_EQ(TableCode(plu, ecr.Dtx, ecr), 0x61);
  EXPECT_EQ(TableCode(plu, ecr.Dtx, ecr, {true, false}), 0x03);
  EXPECT_EQ(TableCode(plu, ecr.Dtx, ecr, {false, true}), 0x63);
  EXPECT_EQ(TableCode(plu, ecr.Drq, ecr), 0x03);
  TSoubor report;
  report.Number = 85;
  EXPECT_EQ(TableCode(report, ecr.Drq, ecr), 0x85);
  TSoubor reset;
  reset.ResetMark = true;
  reset.Number = 1;
  EXPECT_EQ(TableCode(reset, ecr.Dtx, ecr), 0x46);
  reset.Number = 17;
  EXPECT_EQ(TableCode(reset, ecr.Dtx, ecr), 0x56);
  reset.Number = 3;
  EXPECT_EQ(TableCode(reset, ecr.Dtx, ecr), 0x48) << "a reset numbered 3 is no PLU table";
}

TEST(ModelCode, NamedModelsAcceptTheirCodesOnly) {
  EXPECT_TRUE(ModelCodeFits("ECR 465T/465TF", 22, false));
  EXPECT_FALSE(ModelCodeFits("ECR 465T/465TF", 20, false));
  EXPECT_TRUE(ModelCodeFits("ECR 579F", 14, false));
  EXPECT_TRUE(ModelCodeFits("CM-840/842", 8, true));
  EXPECT_FALSE(ModelCodeFits("CM-840/842", 7, true));
  EXPECT_TRUE(ModelCodeFits("", 23, false));
  EXPECT_TRUE(ModelCodeFits("CM-840/842", 7, false)) << "CM names are looked up only for the CM family";
  EXPECT_TRUE(ModelCodeFits("ECR 549", 5, true)) << "ECR names only for the ECR family";
}

TEST(KeyPosition, SingleBitsMapByModel) {
  EXPECT_EQ(KeyPosition("ECR 39T", 0x10), "OFF");
  EXPECT_EQ(KeyPosition("ECR 465T/465TF", 0x10), "R");
  EXPECT_EQ(KeyPosition("", 0x10), "R");
  EXPECT_EQ(KeyPosition("", 0x80), "S");
  EXPECT_FALSE(KeyPosition("ECR 39T", 0x80));
  EXPECT_FALSE(KeyPosition("", 0x02));
  EXPECT_FALSE(KeyPosition("", 0x03));
}

TEST_F(LinkProtocol, HandshakeSendsEnqAndReturnsTheModelCode) {
  peer.Answer = [](const std::string&) { return WithCheckBytes(Bytes({18, 0x00})); };
  auto link = Link(0, "ECR 465T/465TF");
  EXPECT_EQ(link.Handshake(3), 18);
  EXPECT_EQ(peer.Written.back(), Bytes({0xE9, 0x00, 0x03, 0xEA, 0x2A}));
}

TEST_F(LinkProtocol, HandshakeFailures) {
  auto answerWith = [this](std::string reply) { peer.Answer = [reply](const std::string&) { return reply; }; };
  answerWith(Bytes({18, 0x00, 0x00, 0x00}));
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Link().Handshake(3); }), 16) << "check bytes come first for ENQ";
  answerWith(WithCheckBytes(Bytes({0xE9, 0x0B})));
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Link(5).Handshake(3); }), 17);
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Link(0).Handshake(3); }), 11);
  answerWith(WithCheckBytes(Bytes({24, 0x00})));
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Link().Handshake(3); }), 11);
  answerWith(WithCheckBytes(Bytes({23, 0x00})));
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Link().Handshake(3); }), 0) << "no model name: every code in range";
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Link(0, "ECR 39T").Handshake(3); }), 21);
  answerWith("");
  EXPECT_EQ(ErrorNumberRaisedBy([&] { Link().Handshake(3); }), 4);
}

TEST_F(LinkProtocol, RequestReplyChecksInOrder) {
  auto link = Link(7);
  const std::uint8_t drq = 0xD7;
  auto errorOf = [&](const std::string& reply, std::uint8_t sent = 0xD7) {
    return ErrorNumberRaisedBy([&] { link.RequestReply(reply, LineResult::Done, sent); });
  };
  EXPECT_EQ(errorOf(Bytes({drq, 0x0B, 0x00, 0x00})), 29) << "status before check bytes";
  EXPECT_EQ(errorOf(Bytes({drq, 0x17, 0, 0})), 28);
  EXPECT_EQ(errorOf(Bytes({drq, 0x0C, 0, 0})), 30);
  EXPECT_EQ(errorOf(Bytes({drq, 0x0E, 0, 0})), 31);
  EXPECT_EQ(errorOf(WithCheckBytes(Bytes({0xD3, 0x10}))), 13);
  EXPECT_EQ(errorOf(WithCheckBytes(Bytes({0xD7, 0x10})), 0xD3), 12);
  EXPECT_EQ(errorOf(WithCheckBytes(Bytes({drq, 0x11}))), 17);
  EXPECT_EQ(errorOf(Bytes({drq, 0x10, 0, 0})), 16);
  EXPECT_EQ(errorOf(Bytes({drq})), 16) << "a short reply never reads past its end";
  EXPECT_EQ(ErrorNumberRaisedBy([&] { link.RequestReply("", LineResult::ShortRead, drq); }), 5);
  EXPECT_EQ(ErrorNumberRaisedBy([&] { link.RequestReply("", LineResult::NoAnswer, drq); }), 4);
}

TEST_F(LinkProtocol, RequestReplyTakesTheKeyPositionAndSeesTheEndFrame) {
  auto link = Link();
  EXPECT_EQ(link.KeyPositionText(), "?");
  EXPECT_FALSE(link.RequestReply(WithCheckBytes(Bytes({0xD7, 0x03 + 1})), LineResult::Done, 0xD7));
  EXPECT_EQ(link.KeyPositionText(), "Z");
  EXPECT_FALSE(link.RequestReply(WithCheckBytes(Bytes({0xD7, 0x06})), LineResult::Done, 0xD7));
  EXPECT_EQ(link.KeyPositionText(), "Z") << "two bits map to no position";
  EXPECT_TRUE(link.RequestReply(EndFrame, LineResult::Done, 0xD7));
  EXPECT_EQ(ErrorNumberRaisedBy([&] { link.RequestReply(EndFrame, LineResult::Done, 0xD3); }), 12)
      << "only a DRQ may get the end frame";
}

}  // namespace
