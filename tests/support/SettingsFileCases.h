#pragma once

// Settings files as users leave them, sound and damaged, with the port and device every front
// end must take from each: the app and the command-line tool read one file one way.
namespace varnel::test {

struct SettingsFileCase {
    const char* name;
    const char* contents;  // nullptr: no settings file at all
    const char* port;
    const char* device;
};

inline constexpr SettingsFileCase kSettingsFileCases[] = {
    {"NoFile", nullptr, "COM1", "/dev/ttyS0"},
    {"Plain", "[Options]\nSerialPort=2\n[Ports]\nCOM3=/dev/ttyUSB3\n", "COM3", "/dev/ttyUSB3"},
    {"CommentsQuotesAndCrLf",
     "; bench 3\r\n[Options]\r\nSerialPort = 1 ; mine\r\n[Ports]\r\nCOM2 = \"/dev/my port\"\r\n",
     "COM2", "/dev/my port"},
    {"TypedValues", "[Options]\nSerialPort=@ByteArray(1)\n[Ports]\nCOM2=@String(/dev/ttyACM0)\n",
     "COM2", "/dev/ttyACM0"},
    {"SerialisedNumber", "[Options]\nSerialPort=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x2)\n", "COM1",
     "/dev/ttyS0"},
    {"AList", "[Options]\nSerialPort=1, 2\n", "COM1", "/dev/ttyS0"},
    {"OutOfRange", "[Options]\nSerialPort=7\n[Ports]\nCOM1=/dev/ttyUSB1\n", "COM1", "/dev/ttyUSB1"},
    // The line runs on: the app refuses the file, and so does everything else.
    {"UnclosedQuote", "[Options]\nSerialPort=2\nNote=\"open\n[Ports]\nCOM1=/dev/ttyUSB7\n", "COM1",
     "/dev/ttyS0"},
    {"TrailingBackslash", "[Ports]\nCOM1=/dev/ttyUSB7\\\n[Options]\nSerialPort=1\n", "COM1",
     "/dev/ttyS0"},
    {"ByteOrderMark", "\xEF\xBB\xBF[Options]\nSerialPort=1\n[Ports]\nCOM2=/dev/ttyUSB2\n", "COM1",
     "/dev/ttyS0"},
};

}  // namespace varnel::test
