#pragma once
// Whether the tests run under Wine, where some things a real Windows does
// cannot be shown (a COM port that is a pty has no modem lines and cannot
// vanish); such a test skips itself there by name, with the reason.
namespace testing_support {

bool runningUnderWine();

}  // namespace testing_support
