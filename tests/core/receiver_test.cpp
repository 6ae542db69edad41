// The receiver over real UDP on loopback.

#include "reception/receiver.h"

#include <gtest/gtest.h>

#include <memory>

#include "reception/clipboard_codes.h"
#include "reception/endpoint.h"
#include "reception/scan_datagram.h"
#include "settings/memory_settings_store.h"
#include "test_doubles.h"

namespace {

const char kBank[] = "00191455700000110009956850418332600000624818";
const char kCollection[] = "84620000002311301132632914523029359083800000";

class ReceiverTest : public ::testing::Test {
protected:
    void SetUp() override {
        int error;
        ASSERT_TRUE(StartNetwork(error));
        SocketError socketError;
        ASSERT_TRUE(socket.Open(socketError));
        ASSERT_TRUE(socket.Bind(0, true, socketError));
        ASSERT_TRUE(sender.Open(socketError));
        receiver = std::make_unique<Receiver>(socket, socket.LocalPort(), sink, &injector);
        receiver->Start();
    }
    void TearDown() override {
        receiver.reset();
        StopNetwork();
    }

    void Send(const std::vector<std::uint8_t>& bytes) {
        SocketError error;
        ASSERT_TRUE(sender.SendTo(LoopbackAddress(), socket.LocalPort(), bytes.data(), bytes.size(),
                                  error));
    }
    void SendCode(const std::string& code, int kind = 1,
                  std::optional<std::uint32_t> sequence = std::nullopt) {
        Send(*BuildScanDatagram(code, kind, sequence));
    }
    // A datagram that every receiver accepts, to mark the end of a test's sequence.
    std::vector<CodeRecord> SendMarkerAndWait(std::size_t expected) {
        SendCode(kCollection, 2);
        auto records = sink.WaitFor(expected);
        EXPECT_EQ(records.size(), expected);
        return records;
    }

    TraceRecorder traces;
    Settings settings;
    MemorySettingsStore store;
    RecordingTyper typer;
    KeyboardInjector injector{settings, store, typer};
    CollectingSink sink;
    UdpSocket socket;
    UdpSocket sender;
    std::unique_ptr<Receiver> receiver;
};

}  // namespace

TEST_F(ReceiverTest, StoresInterpretedRecordsAndTypesThem) {
    EXPECT_EQ(sink.WaitForStatus(),
              "Esperando dados na porta " + std::to_string(socket.LocalPort()) + " UDP");
    SendCode(kBank);
    SendCode(kCollection, 1);  // kind byte 1, first digit 8: a collection slip
    SendCode(kCollection, 3);  // kind byte 3: an NF-e key whatever its digits
    auto records = sink.WaitFor(3);
    ASSERT_EQ(records.size(), 3u);

    EXPECT_EQ(records[0].sequenceIndex, 1);
    EXPECT_EQ(records[0].kindLetter, "B");
    EXPECT_TRUE(records[0].checkDigitsValid);
    EXPECT_EQ(records[0].typeable, "00199.95687 50418.332602 00006.248181 1 45570000011000");
    EXPECT_EQ(records[0].value, "R$ 110,00");
    EXPECT_FALSE(records[0].dueDate.empty());
    EXPECT_EQ(FormatIPv4(records[0].senderAddress), "127.0.0.1");
    EXPECT_EQ(records[0].receivedAt.size(), 19u);

    EXPECT_EQ(records[1].kind, CodeKind::CollectionSlip);
    EXPECT_EQ(records[1].kindLetter, "C");
    EXPECT_EQ(records[1].dueDate, "");
    EXPECT_EQ(records[1].typeable, "84620000002-0 31130113263-6 29145230293-3 59083800000-8");

    EXPECT_EQ(records[2].kindLetter, "N");
    EXPECT_FALSE(records[2].checkDigitsValid);
    EXPECT_EQ(records[2].value, "");
    EXPECT_EQ(records[2].sequenceIndex, 3);

    EXPECT_EQ(typer.Texts(), (std::vector<std::string>{
                                 "00199956875041833260200006248181145570000011000",
                                 "846200000020311301132636291452302933590838000008", kCollection}));
    EXPECT_EQ(traces.Count("Received datagram from 127.0.0.1 - 50 bytes\n"), 3);
}

TEST_F(ReceiverTest, DropsRepeatsOfTheLastSequenceNumber) {
    SendCode(kBank, 1, 5);
    SendCode(kBank, 1, 5);  // repeat: dropped
    SendCode(kBank, 1, 0);  // no number: accepted, remembers nothing
    SendCode(kBank, 1, 5);  // still a repeat
    auto broken = *BuildScanDatagram(kBank, 1, 6);
    broken[4] ^= 1;  // wrong CRC with a new number: not remembered
    Send(broken);
    SendCode(kBank, 1, 7);
    SendCode(kBank, 1, 5);  // another number came between: accepted
    SendCode(kBank);        // the same short datagram twice: both accepted
    SendCode(kBank);
    auto records = SendMarkerAndWait(7);
    EXPECT_EQ(traces.Count("Numero de sequencia duplicado.\n"), 2);
    EXPECT_EQ(records.back().sequenceIndex, 7);
}

TEST_F(ReceiverTest, MalformedDatagramsAreDroppedAndReceptionGoesOn) {
    auto good = *BuildScanDatagram(kBank, 1);
    Send(std::vector<std::uint8_t>(good.begin(), good.begin() + 49));
    Send(std::vector<std::uint8_t>(600, 0));    // larger than the receive buffer
    Send(std::vector<std::uint8_t>(65000, 7));  // close to the UDP maximum
    Send({});
    auto kind4 = good;
    kind4[1] = 4;
    Send(kind4);
    std::vector<std::uint8_t> withLetters = good;
    withLetters[5 + 20] = 'A';
    std::uint16_t crc = Crc16Xmodem(withLetters.data() + 5, 44);
    withLetters[3] = static_cast<std::uint8_t>(crc >> 8);
    withLetters[4] = static_cast<std::uint8_t>(crc);
    Send(withLetters);  // passes the datagram rules: stored, never typed
    auto records = SendMarkerAndWait(2);
    EXPECT_EQ(records[0].code[20], 'A');
    EXPECT_FALSE(records[0].checkDigitsValid);
    EXPECT_EQ(typer.Texts().size(), 1u);  // the marker only
    EXPECT_EQ(traces.Count("[E] Code not typed: it is not 44 digits\n"), 1);
}

TEST_F(ReceiverTest, InjectionModeZeroTypesNothing) {
    settings.injectionMode = ModeOff;
    SendCode(kBank);
    SendMarkerAndWait(2);
    EXPECT_TRUE(typer.Texts().empty());
}

TEST_F(ReceiverTest, ASocketOpenedAgainAfterAStopReceivesAgain) {
    sink.WaitForStatus();
    receiver->Stop();
    socket.Close();
    SocketError error;
    ASSERT_TRUE(socket.Open(error));
    ASSERT_TRUE(socket.Bind(0, true, error));
    receiver = std::make_unique<Receiver>(socket, socket.LocalPort(), sink, &injector);
    receiver->Start();
    SendMarkerAndWait(1);
}

TEST_F(ReceiverTest, StopEndsTheThreadWithoutAnErrorTrace) {
    sink.WaitForStatus();
    receiver->Stop();
    for (const std::string& trace : traces.Traces())
        EXPECT_EQ(trace.find("[E]"), std::string::npos);
}

namespace {

class RecordingMessages : public UserMessages {
public:
    void ShowError(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

}  // namespace

TEST(Endpoint, PortInUseIsReportedWithItsNumber) {
    int error;
    ASSERT_TRUE(StartNetwork(error));
    UdpSocket taken;
    RecordingMessages messages;
    ASSERT_TRUE(OpenEndpoint(taken, 0, messages));
    std::uint16_t port = taken.LocalPort();

    TraceRecorder traces;
    UdpSocket second;
    EXPECT_FALSE(OpenEndpoint(second, port, messages));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(messages.shown,
              std::vector<std::string>{"Porta " + std::to_string(port) + " esta em uso."});
    ASSERT_EQ(traces.Traces().size(), 1u);
    EXPECT_EQ(traces.Traces()[0].rfind("[E] bind ", 0), 0u);
    StopNetwork();
}

// F9 needs no socket: the samples take a datagram's path from 127.0.0.1, in turn.
TEST(SimulatedReception, FeedsTheFiveSamplesInTurnAsDatagramsFromThisComputer) {
    CollectingSink sink;
    SenderGate gate;  // local networks only, as a new user has it
    SimulatedReception simulated(sink, nullptr, &gate);
    for (int i = 0; i < 6; ++i)
        simulated.FeedNextSample();
    auto records = sink.WaitFor(6);
    ASSERT_EQ(records.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(records[i].code, kSampleCodes[i % 5]) << i;
        EXPECT_TRUE(records[i].checkDigitsValid);
        EXPECT_EQ(records[i].senderAddress, LoopbackAddress());
    }
    // Kind byte 1 for every sample; the collection samples are told by their first digit.
    EXPECT_EQ(records[2].kindLetter, "C");
    EXPECT_EQ(gate.Seen().lastSender, LoopbackAddress());
}

// A spreadsheet column pasted: every line with a code is a row from the clipboard, in its
// order; blank lines do not count, other lines are told; a paste takes a bounded number.
TEST(ReadPastedText, EachLineWithACodeIsARowAndTheOthersAreCounted) {
    ReceiverState state;
    LocalDateTime now{{2026, 12, 7}, 9, 5, 3};
    PastedText pasted = ReadPastedText(
        "00199.95687 50418.332602 00006.248181 1 45570000011000\r\n"
        "\r\n"
        "Total a pagar\r\n"
        "84620000002-0 31130113263-6 29145230293-3 59083800000-8\r\n"
        "3520 0714 2001 6600 0187 5500 1000 0000 0465 5000 0044\r\n"
        "00199.95687 50418.332603 00006.248181 1 45570000011000\n"
        "R$ 110,00",
        state, now);
    ASSERT_EQ(pasted.records.size(), 4u);
    EXPECT_EQ(pasted.notCodes, 2);
    EXPECT_EQ(NotCodesMessage(pasted),
              "2 linhas copiadas n\xE3o s\xE3o c\xF3"
              "digos de boleto, conta, NF-e ou Pix.");
    EXPECT_EQ(pasted.records[0].code, "00191455700000110009956850418332600000624818");
    EXPECT_EQ(pasted.records[1].kindLetter, "C");
    EXPECT_EQ(pasted.records[2].kindLetter, "N");
    EXPECT_EQ(pasted.records[3].wrongField, 2);
    EXPECT_FALSE(pasted.records[3].checkDigitsValid);
    EXPECT_EQ(SenderText(pasted.records[0]), "\xE1rea de transfer\xEAncia");
    EXPECT_EQ(pasted.records[0].receivedAt, "2026/12/07 09:05:03");
    EXPECT_EQ(pasted.records[3].sequenceIndex, 4);

    EXPECT_EQ(NotCodesMessage(ReadPastedText("boleto de dezembro\n", state, now)),
              "O texto copiado n\xE3o \xE9 um c\xF3"
              "digo de boleto, conta, NF-e ou Pix.");
    std::string column;
    for (int i = 0; i < 600; ++i)
        column += "00191455700000110009956850418332600000624818\n";
    PastedText many = ReadPastedText(column, state, now);
    EXPECT_EQ(many.records.size(), kMaxPastedCodes);
    EXPECT_TRUE(many.cut);
}
