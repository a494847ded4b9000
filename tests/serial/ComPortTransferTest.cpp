// Writing and reading through the serial port on ptys: whole writes, reads
// that return at once with what is there, short writes at the write
// timeout, waitable transfers and their failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/ManualEventLoop.h"
#include "serial/ComPort.h"
#include "support/Pty.h"
#include "support/Wine.h"

namespace {

using namespace serial;
using testing_support::Pty;

class ComPortTransfer : public ::testing::Test {
 protected:
  ComPortTransfer() : port(loop) {
    port.setPort(pty.slavePath());
    port.setEvents({});  // no event thread: these tests read for themselves
  }

  // Bytes sent by the far end reach the slave's queue a moment later.
  void waitForQueue(int count) {
    ASSERT_TRUE(loop.runUntil([&] { return port.BytesWaiting() >= count; }, std::chrono::seconds(2)));
  }

  static int codeOf(const std::function<void()>& call) {
    try {
      call();
    } catch (const EComPort& e) {
      return e.MessageCode;
    }
    return 0;
  }

  platform::ManualEventLoop loop;
  Pty pty;
  TComPort port;
};

TEST_F(ComPortTransfer, WriteTextSendsEveryByteAndReadTextReturnsWhatIsThere) {
  port.Connect();
  EXPECT_EQ(port.WriteText(std::string("S\0\xFF\r\n", 5)), 5);
  EXPECT_EQ(pty.receive(1000, 5), std::string("S\0\xFF\r\n", 5));
  EXPECT_EQ(port.WriteText(""), 0);

  EXPECT_EQ(port.ReadText(0), "");
  pty.send(std::string("12.5 kg\r\n\0x", 11));
  waitForQueue(11);
  // Fewer than waiting, then more than waiting: the rest comes at once,
  // without waiting for the missing bytes.
  EXPECT_EQ(port.ReadText(4), "12.5");
  EXPECT_EQ(port.BytesWaiting(), 7);
  EXPECT_EQ(port.ReadText(100), std::string(" kg\r\n\0x", 7));
  EXPECT_EQ(port.ReadText(100), "");
  EXPECT_EQ(port.BytesWaiting(), 0);

  char buffer[8] = {};
  pty.send("AB");
  waitForQueue(2);
  EXPECT_EQ(port.ReadBytes(buffer, 8), 2);
  EXPECT_EQ(std::string(buffer, 2), "AB");
}

TEST_F(ComPortTransfer, WaitableTransfersStartAtOnceAndAwaitTheRest) {
  port.Connect();
  TransferRequest request;
  // A request on which nothing was started returns at once.
  EXPECT_EQ(port.AwaitTransfer(&request), 0);
  EXPECT_EQ(port.StartWrite("ping", 4, &request), 4);
  EXPECT_EQ(request.kind(), TransferRequest::Kind::Write);
  EXPECT_EQ(port.AwaitTransfer(&request), 4);
  EXPECT_EQ(pty.receive(1000, 4), "ping");

  pty.send("pong");
  waitForQueue(4);
  char buffer[16];
  TransferRequest read;
  EXPECT_EQ(port.StartRead(buffer, 16, &read), 4);
  EXPECT_EQ(port.AwaitTransfer(&read), 4);
  EXPECT_EQ(std::string(buffer, 4), "pong");

  EXPECT_EQ(codeOf([&] { port.StartWrite("x", 1, nullptr); }), CError_InvalidAsync);
  EXPECT_EQ(codeOf([&] { port.StartRead(buffer, 1, nullptr); }), CError_InvalidAsync);
  EXPECT_EQ(codeOf([&] { port.AwaitTransfer(nullptr); }), CError_InvalidAsync);
}

TEST_F(ComPortTransfer, AReadWithATotalTimeoutWaitsForTheMissingBytes) {
  port.timeouts().setReadInterval(0);
  port.timeouts().setReadTotalConstant(2000);
  port.Connect();
  pty.send("12");
  waitForQueue(2);
  std::thread farEnd([&] { pty.send("345"); });
  // The read takes what is there and waits for the rest of its five bytes.
  EXPECT_EQ(port.ReadText(5), "12345");
  farEnd.join();
}

TEST_F(ComPortTransfer, AWriteTheFarEndDoesNotTakeEndsShortAtTheWriteTimeout) {
  port.timeouts().setWriteTotalMultiplier(0);
  port.timeouts().setWriteTotalConstant(50);
  port.Connect();
  // Nobody reads the master: the pty's queues fill and the write times out.
  const std::string big(4 << 20, 'w');
  const int written = port.WriteText(big);
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(big.size()));
  EXPECT_TRUE(port.connected());
}

TEST_F(ComPortTransfer, AWriteTakenInPiecesPutsEveryByteOnTheWireOnceAndInOrder) {
  port.Connect();
  // Under Wine the pair of ports is reused from an earlier test, which may
  // have left bytes on their way: they are read first.
  while (!pty.receive(100).empty()) {
  }
  // Far more than the line's queues hold: the device takes it piece by piece
  // while the far end reads.
  std::string big(256 << 10, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  std::string got;
  std::thread farEnd([&] {
    while (got.size() < big.size()) {
      const std::string piece = pty.receive(5000, 1);
      if (piece.empty()) break;
      got += piece;
    }
  });
  EXPECT_EQ(port.WriteText(big), static_cast<int>(big.size()));
  farEnd.join();
  ASSERT_EQ(got.size(), big.size());
  EXPECT_TRUE(got == big) << "the bytes differ first at "
                          << std::mismatch(got.begin(), got.end(), big.begin()).first - got.begin();
}

TEST_F(ComPortTransfer, TransfersOnAClosedOrVanishedDeviceRaiseAndLeaveThePortOpen) {
  EXPECT_EQ(codeOf([&] { port.WriteText("x"); }), CError_WriteFailed);
  EXPECT_EQ(codeOf([&] { port.ReadText(1); }), CError_ReadFailed);
  EXPECT_EQ(codeOf([&] { port.BytesWaiting(); }), CError_ClearComFailed);
  EXPECT_EQ(codeOf([&] { port.TakeLineErrors(); }), CError_ClearComFailed);
  EXPECT_EQ(codeOf([&] { port.ModemLines(); }), CError_ModemStatFailed);
  // Empty transfers start nothing, so nothing can fail.
  EXPECT_EQ(port.WriteText(""), 0);
  EXPECT_EQ(port.ReadText(0), "");

  if (testing_support::runningUnderWine()) GTEST_SKIP() << "a COM port under Wine does not vanish with its far end";
  port.Connect();
  pty.closeMaster();
  try {
    port.WriteText("x");
    FAIL() << "a write to a vanished device succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.MessageCode, CError_WriteFailed);
    EXPECT_EQ(e.SystemCode, EIO);
  }
  EXPECT_EQ(codeOf([&] { port.ReadText(10); }), CError_ReadFailed);
  EXPECT_TRUE(port.connected());
}

TEST_F(ComPortTransfer, APtyHasNoLineErrorsAndNoModemLines) {
  port.parity().setCheck(true);
  port.Connect();
  pty.send("abc");
  waitForQueue(3);
  EXPECT_TRUE(port.TakeLineErrors().empty());
  EXPECT_TRUE(port.ModemLines().empty());
}

}  // namespace
