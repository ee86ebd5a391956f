// Runs the built qvreg against a temporary hive.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_hive.h"
#include "win32.h"

extern char** environ;

namespace {

constexpr char kOk[] = "The operation completed successfully.\n";
constexpr char kNotFound[] = "ERROR: The system was unable to find the specified registry key or value.\n";

struct ToolRun {
  int status = -1;
  std::string out, err;
};

std::string Drain(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof(buffer))) > 0) text.append(buffer, static_cast<size_t>(n));
  return text;
}

// Runs qvreg with `args`; the hive is the one QVAGENT_REGISTRY names in this process.
ToolRun Qvreg(const std::vector<std::string>& args) {
  std::string program = std::string(QV_BINARY_DIR) + "/qvreg";
  std::vector<char*> argv{program.data()};
  std::vector<std::string> copies(args);
  for (auto& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  char outName[] = "/tmp/qvreg-out-XXXXXX", errName[] = "/tmp/qvreg-err-XXXXXX";
  int out = mkstemp(outName), err = mkstemp(errName);
  unlink(outName);
  unlink(errName);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  ToolRun run;
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  lseek(out, 0, SEEK_SET);
  lseek(err, 0, SEEK_SET);
  run.out = Drain(out);
  run.err = Drain(err);
  close(out);
  close(err);
  return run;
}

std::string Describe(const std::vector<std::string>& args) {
  std::string text = "qvreg";
  for (const auto& arg : args) text += " [" + arg + "]";
  return text;
}

// One value of the hive as stored (type and bytes), read through the API.
struct Stored {
  LSTATUS code = ERROR_SUCCESS;
  DWORD type = REG_NONE;
  std::string data;
};

Stored ReadStored(const char* path, const char16_t* name) {
  Stored stored;
  HKEY key = nullptr;
  stored.code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key);
  if (stored.code != ERROR_SUCCESS) return stored;
  BYTE buffer[4096];
  DWORD size = sizeof(buffer);
  stored.code = RegQueryValueExW(key, name, nullptr, &stored.type, buffer, &size);
  if (stored.code == ERROR_SUCCESS) stored.data.assign(reinterpret_cast<char*>(buffer), size);
  RegCloseKey(key);
  return stored;
}

std::string Utf16(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

void SetRaw(const char* path, const char16_t* name, DWORD type, const std::string& data) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

class QvregTool : public ::testing::Test {
 protected:
  struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;  // exact standard output
    std::string err;  // exact standard error
  };
  void RunSteps(const std::vector<Step>& steps) {
    for (const auto& step : steps) {
      ToolRun run = Qvreg(step.args);
      EXPECT_EQ(run.status, step.status) << Describe(step.args) << "\n" << run.err;
      EXPECT_EQ(run.out, step.out) << Describe(step.args);
      EXPECT_EQ(run.err, step.err) << Describe(step.args);
    }
  }
  qvtest::TempHive hive_;
};

TEST_F(QvregTool, AddQueryDeleteLikeReg) {
  const std::string key = R"(HKLM\Software\Tessaly\T)";
  const std::string shown = "HKEY_LOCAL_MACHINE\\Software\\Tessaly\\T";
  auto one = [&](const std::string& line) { return "\n" + shown + "\n    " + line + "\n\n"; };
  RunSteps({
      {{"add", key, "/v", "Server", "/d", "qv.example \"x\" \\y"}, 0, kOk, ""},
      {{"query", key, "/v", "server"}, 0, one("Server    REG_SZ    qv.example \"x\" \\y"), ""},
      // An existing value stays without /f.
      {{"add", key, "/v", "SERVER", "/d", "other"},
       1,
       "",
       "ERROR: The value SERVER of " + shown + " exists; add /f to overwrite it.\n"},
      {{"query", key, "/v", "Server"}, 0, one("Server    REG_SZ    qv.example \"x\" \\y"), ""},
      {{"add", key, "/v", "Server", "/d", "other", "/f"}, 0, kOk, ""},
      {{"query", key, "/v", "Server"}, 0, one("Server    REG_SZ    other"), ""},
      {{"add", key, "/v", "Port", "/t", "REG_DWORD", "/d", "8443"}, 0, kOk, ""},
      {{"query", key, "/v", "Port"}, 0, one("Port    REG_DWORD    0x20fb"), ""},
      {{"add", key, "/v", "Hex", "/t", "reg_dword", "/d", "0xFFFFFFFF"}, 0, kOk, ""},
      {{"query", key, "/v", "Hex"}, 0, one("Hex    REG_DWORD    0xffffffff"), ""},
      {{"add", key, "/v", "Big", "/t", "REG_QWORD", "/d", "0x123456789a"}, 0, kOk, ""},
      {{"query", key, "/v", "Big"}, 0, one("Big    REG_QWORD    0x123456789a"), ""},
      {{"add", key, "/v", "Bin", "/t", "REG_BINARY", "/d", "00ff7a"}, 0, kOk, ""},
      {{"query", key, "/v", "Bin"}, 0, one("Bin    REG_BINARY    00FF7A"), ""},
      {{"add", key, "/v", "List", "/t", "REG_MULTI_SZ", "/d", "a\\0b c"}, 0, kOk, ""},
      {{"query", key, "/v", "List"}, 0, one("List    REG_MULTI_SZ    a\\0b c"), ""},
      {{"add", key, "/v", "Sep", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "x#y"}, 0, kOk, ""},
      {{"query", key, "/v", "Sep"}, 0, one("Sep    REG_MULTI_SZ    x\\0y"), ""},
      {{"add", key, "/v", "Path", "/t", "REG_EXPAND_SZ", "/d", "%TEMP%\\qv"}, 0, kOk, ""},
      {{"query", key, "/v", "Path"}, 0, one("Path    REG_EXPAND_SZ    %TEMP%\\qv"), ""},
      {{"add", key, "/v", "--", "/d", "--"}, 0, kOk, ""},
      {{"query", key, "/v", "--"}, 0, one("--    REG_SZ    --"), ""},
      {{"add", key, "/ve", "/d", "default"}, 0, kOk, ""},
      {{"query", key, "/ve"}, 0, one("(Default)    REG_SZ    default"), ""},
      // Data that does not fit its type changes nothing.
      {{"add", key, "/v", "Port", "/t", "REG_DWORD", "/d", "12abc", "/f"},
       1,
       "",
       "ERROR: Invalid REG_DWORD data: give a number from 0 to 4294967295 (or 0x0 to 0xffffffff).\n"},
      {{"add", key, "/v", "Port", "/t", "REG_DWORD", "/d", "4294967296", "/f"},
       1,
       "",
       "ERROR: Invalid REG_DWORD data: give a number from 0 to 4294967295 (or 0x0 to 0xffffffff).\n"},
      {{"add", key, "/v", "Bin", "/t", "REG_BINARY", "/d", "0g", "/f"},
       1,
       "",
       "ERROR: Invalid binary data: give pairs of hexadecimal digits.\n"},
      {{"add", key, "/v", "X", "/t", "REG_WHATEVER", "/d", "1"}, 1, "", "ERROR: Invalid type \"REG_WHATEVER\".\n"},
      {{"query", key, "/v", "Port"}, 0, one("Port    REG_DWORD    0x20fb"), ""},
      // Deleting needs /f; missing things are reported.
      {{"delete", key, "/v", "Port"},
       1,
       "",
       "ERROR: Nothing deleted: qvreg does not ask for confirmation; add /f to delete.\n"},
      {{"query", key, "/v", "Port"}, 0, one("Port    REG_DWORD    0x20fb"), ""},
      {{"delete", key, "/v", "Port", "/f"}, 0, kOk, ""},
      {{"query", key, "/v", "Port"}, 1, "", kNotFound},
      {{"delete", key, "/v", "Port", "/f"}, 1, "", kNotFound},
      {{"delete", key, "/f"}, 0, kOk, ""},
      {{"query", key}, 1, "", kNotFound},
      {{"delete", key, "/f"}, 1, "", kNotFound},
      {{"query", R"(HKXX\Software)"}, 1, "", "ERROR: Invalid key name.\n"},
      {{"add", "HKLM"}, 1, "", "ERROR: Invalid key name.\n"},
      {{"query"}, 1, "", "ERROR: Invalid syntax.\nType \"qvreg query /?\" for usage.\n"},
      {{}, 1, "", "ERROR: Invalid syntax.\nType \"qvreg /?\" for usage.\n"},
  });
}

TEST_F(QvregTool, QueryListsValuesAndSubkeysOrTheSubtree) {
  RunSteps({
      {{"add", R"(HKLM\Software\Q\Beta)", "/v", "b", "/t", "REG_DWORD", "/d", "2"}, 0, kOk, ""},
      {{"add", R"(HKLM\Software\Q\alpha\Deep)", "/v", "d", "/d", "deep"}, 0, kOk, ""},
      {{"add", R"(HKLM\Software\Q)", "/v", "top", "/d", "1"}, 0, kOk, ""},
      {{"add", R"(HKLM\Software\Q\alpha)", "/v", "b", "/d", "in alpha"}, 0, kOk, ""},
  });
  RunSteps({
      {{"query", R"(HKLM\Software\Q)"},
       0,
       "\nHKEY_LOCAL_MACHINE\\Software\\Q\n    top    REG_SZ    1\n\n"
       "HKEY_LOCAL_MACHINE\\Software\\Q\\alpha\nHKEY_LOCAL_MACHINE\\Software\\Q\\Beta\n",
       ""},
      {{"query", R"(HKLM\Software\Q)", "/s"},
       0,
       "\nHKEY_LOCAL_MACHINE\\Software\\Q\n    top    REG_SZ    1\n\n"
       "HKEY_LOCAL_MACHINE\\Software\\Q\\alpha\n    b    REG_SZ    in alpha\n\n"
       "HKEY_LOCAL_MACHINE\\Software\\Q\\alpha\\Deep\n    d    REG_SZ    deep\n\n"
       "HKEY_LOCAL_MACHINE\\Software\\Q\\Beta\n    b    REG_DWORD    0x2\n\n",
       ""},
      {{"query", R"(HKLM\Software\Q)", "/v", "B", "/s"},
       0,
       "\nHKEY_LOCAL_MACHINE\\Software\\Q\\alpha\n    b    REG_SZ    in alpha\n\n"
       "HKEY_LOCAL_MACHINE\\Software\\Q\\Beta\n    b    REG_DWORD    0x2\n\n"
       "End of search: 2 match(es) found.\n",
       ""},
      {{"query", R"(HKLM\Software\Q)", "/v", "none", "/s"}, 1, "\nEnd of search: 0 match(es) found.\n", ""},
  });
}

// export, delete, import: the subtree comes back byte for byte, and exports again to the same file.
TEST_F(QvregTool, ExportThenImportReproducesTheSubtree) {
  struct Value {
    const char* key;
    std::u16string name;
    DWORD type;
    std::string data;
  };
  const std::vector<Value> values = {
      {R"(Software\Round Trip)", u"", REG_SZ, Utf16(std::u16string(u"default\0", 8))},
      {R"(Software\Round Trip)", u"Quote \" and \\ = [x]", REG_SZ, Utf16(std::u16string(u"C:\\dir \"q\"\0", 11))},
      {R"(Software\Round Trip)", u"Gr\u00fc\u00dfe", REG_SZ, Utf16(std::u16string(u"\u00e4\u00f6\u00fc \u20ac\0", 6))},
      {R"(Software\Round Trip)", u"NoTerminator", REG_SZ, Utf16(u"abc")},
      {R"(Software\Round Trip)", u"Lines", REG_SZ, Utf16(std::u16string(u"a\r\nb\0", 5))},
      {R"(Software\Round Trip)", u"EmptyString", REG_SZ, Utf16(std::u16string(u"\0", 1))},
      {R"(Software\Round Trip)", u"Dword", REG_DWORD, std::string("\x01\x02\x03\x04", 4)},
      {R"(Software\Round Trip)", u"ShortDword", REG_DWORD, std::string("\x01\x02", 2)},
      {R"(Software\Round Trip)", u"Qword", REG_QWORD, std::string("\x10\x32\x54\x76\x98\xba\xdc\xfe", 8)},
      {R"(Software\Round Trip)", u"Expand", REG_EXPAND_SZ, Utf16(std::u16string(u"%TEMP%\\x\0", 9))},
      {R"(Software\Round Trip)", u"Multi", REG_MULTI_SZ, Utf16(std::u16string(u"one\0two\0\0", 9))},
      {R"(Software\Round Trip)", u"Long binary", REG_BINARY, std::string(300, '\xab') + std::string("\0\1", 2)},
      {R"(Software\Round Trip)", u"EmptyBinary", REG_BINARY, ""},
      {R"(Software\Round Trip)", u"None", REG_NONE, std::string("\0", 1)},
      {R"(Software\Round Trip)", u"Odd type", 0x1234, "xyz"},
      {R"(Software\Round Trip\Child\Grandchild)", u"--", REG_SZ, Utf16(std::u16string(u"--\0", 3))},
      {R"(Software\Round Trip\Ärger [1])", u"v", REG_DWORD, std::string(4, '\0')},
  };
  for (const auto& v : values) SetRaw(v.key, v.name.c_str(), v.type, v.data);
  HKEY empty = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, R"(Software\Round Trip\Empty Key)", &empty), ERROR_SUCCESS);
  RegCloseKey(empty);

  const std::string first = (hive_.dir().path() / "first.reg").string();
  const std::string second = (hive_.dir().path() / "second.reg").string();
  RunSteps({
      {{"export", R"(hklm\software\round trip)", first}, 0, kOk, ""},
      {{"export", R"(HKLM\Software\Round Trip)", first}, 1, "", "ERROR: The file " + first + " exists; add /y to overwrite it.\n"},
      {{"delete", R"(HKLM\Software\Round Trip)", "/f"}, 0, kOk, ""},
      {{"import", first}, 0, kOk, ""},
      {{"export", R"(HKLM\Software\Round Trip)", second}, 0, kOk, ""},
  });
  for (const auto& v : values) {
    Stored stored = ReadStored(v.key, v.name.c_str());
    EXPECT_EQ(stored.code, ERROR_SUCCESS) << v.key << " " << qvplatform::Utf16ToUtf8Lossy(v.name);
    EXPECT_EQ(stored.type, v.type) << qvplatform::Utf16ToUtf8Lossy(v.name);
    EXPECT_EQ(stored.data, v.data) << qvplatform::Utf16ToUtf8Lossy(v.name);
  }
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, R"(Software\Round Trip\Empty Key)", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  std::string exported = qvtest::ReadFileBytes(first);
  EXPECT_EQ(exported, qvtest::ReadFileBytes(second));
  // UTF-16LE with byte-order mark, the header, CR LF line ends.
  EXPECT_EQ(exported.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(exported.substr(2, 2 * 40), Utf16(u"Windows Registry Editor Version 5.00\r\n\r\n"));
}

// A file with an error anywhere changes nothing, and the message names the line.
TEST_F(QvregTool, MalformedFilesChangeNothing) {
  SetRaw(R"(Software\Guarded)", u"kept", REG_SZ, Utf16(std::u16string(u"before\0", 7)));
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  const std::string good = "[HKEY_LOCAL_MACHINE\\Software\\Guarded]\r\n\"kept\"=\"after\"\r\n\"new\"=dword:00000001\r\n";
  struct Case {
    const char* what;
    std::string file;
    std::string message;  // the part of the error after "<file>, "
  };
  const std::string longName(256, 'n');
  const std::vector<Case> cases = {
      {"bad header", "Windows Registry Editor Version 4.00\r\n\r\n" + good,
       "line 1: The file does not begin with \"Windows Registry Editor Version 5.00\"."},
      {"empty file", "", "line 1: The file does not begin with \"Windows Registry Editor Version 5.00\"."},
      {"unterminated string", header + good + "\"s\"=\"open\r\n",
       "line 6: Unterminated string: the closing quote is missing."},
      {"unterminated name", header + good + "\"s=\"x\"\r\n",
       "line 6: Expected '=' after the value name."},
      {"bad hex", header + good + "\"h\"=hex:01,2,zz\r\n",
       "line 6: Invalid hex data \"zz\": give bytes as two hexadecimal digits separated by commas."},
      {"bad hex on a continuation line", header + good + "\"h\"=hex:01,02,\\\r\n  03,4g\r\n",
       "line 6: Invalid hex data \"4g\": give bytes as two hexadecimal digits separated by commas."},
      {"unknown type", header + good + "\"t\"=word:1\r\n",
       "line 6: Unknown value type: the data must be a quoted string, dword:, hex:, hex(N): or -."},
      {"bad hex type", header + good + "\"t\"=hex(z):01\r\n",
       "line 6: Invalid value type: hex(N) needs a hexadecimal type number N."},
      {"bad dword", header + good + "\"d\"=dword:123456789\r\n",
       "line 6: Invalid dword data: give up to eight hexadecimal digits."},
      {"unknown escape", header + good + "\"e\"=\"a\\tb\"\r\n",
       "line 6: Unknown escape sequence \\t in a quoted string."},
      {"value before a key", header + "\"v\"=\"1\"\r\n" + good, "line 3: A value must follow the line of its key."},
      {"key line not closed", header + good + "[HKEY_LOCAL_MACHINE\\Software\\X\r\n",
       "line 6: A key line must end with ']'."},
      {"unknown root", header + good + "[HKEY_NOWHERE\\X]\r\n", "line 6: Invalid key name \"HKEY_NOWHERE\\X\"."},
      {"text after a string", header + good + "\"s\"=\"a\" b\r\n", "line 6: Unexpected text after the closing quote."},
      // Parses, but the hive refuses the key name: everything done before is undone.
      {"key name too long", header + good + "[HKEY_LOCAL_MACHINE\\Software\\" + longName + "]\r\n",
       "line 6: The parameter is incorrect."},
  };
  for (const auto& c : cases) {
    const std::string file = (hive_.dir().path() / "bad.reg").string();
    qvtest::WriteFileBytes(file, c.file);
    ToolRun run = Qvreg({"import", file});
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(run.err, "ERROR: " + file + ", " + c.message + " Nothing was imported.\n") << c.what;
    Stored kept = ReadStored(R"(Software\Guarded)", u"kept");
    EXPECT_EQ(kept.data, Utf16(std::u16string(u"before\0", 7))) << c.what;
    EXPECT_EQ(ReadStored(R"(Software\Guarded)", u"new").code, ERROR_FILE_NOT_FOUND) << c.what;
  }
  ToolRun missing = Qvreg({"import", (hive_.dir().path() / "missing.reg").string()});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "ERROR: Error opening the file. There may be a disk or file system error.\n");
}

// Both encodings, comments, deletions of values and keys.
TEST_F(QvregTool, ImportAppliesChangesInEitherEncoding) {
  SetRaw(R"(Software\Imp\Old)", u"x", REG_SZ, Utf16(std::u16string(u"x\0", 2)));
  SetRaw(R"(Software\Imp)", u"gone", REG_SZ, Utf16(std::u16string(u"x\0", 2)));
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "; a comment\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Imp]\n"
      "\"gone\"=-\n"
      "\"absent\"=-\n"
      "@=\"dflt\"\n"
      "\"n\"=dword:0000002a\n"
      "\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Imp\\Old]\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Imp\\NeverWas]\n"
      "[HKLM\\Software\\Imp\\New]\n"
      "\"h\"=hex(7):61,00,00,00,\\\n"
      "  00,00\n";
  struct Case {
    const char* encoding;
    std::string bytes;
  };
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16.push_back(c);
    utf16.push_back('\0');
  }
  const std::vector<Case> cases = {{"UTF-8", text}, {"UTF-8 with BOM", "\xEF\xBB\xBF" + text}, {"UTF-16LE", utf16}};
  for (const auto& c : cases) {
    const std::string file = (hive_.dir().path() / "in.reg").string();
    qvtest::WriteFileBytes(file, c.bytes);
    ToolRun run = Qvreg({"import", file});
    EXPECT_EQ(run.status, 0) << c.encoding << ": " << run.err;
    EXPECT_EQ(ReadStored(R"(Software\Imp)", u"gone").code, ERROR_FILE_NOT_FOUND) << c.encoding;
    EXPECT_EQ(ReadStored(R"(Software\Imp)", u"").data, Utf16(std::u16string(u"dflt\0", 5))) << c.encoding;
    EXPECT_EQ(ReadStored(R"(Software\Imp)", u"n").data, std::string("\x2a\0\0\0", 4)) << c.encoding;
    EXPECT_EQ(ReadStored(R"(Software\Imp\Old)", u"x").code, ERROR_FILE_NOT_FOUND) << c.encoding;
    Stored multi = ReadStored(R"(Software\Imp\New)", u"h");
    EXPECT_EQ(multi.type, REG_MULTI_SZ) << c.encoding;
    EXPECT_EQ(multi.data, std::string("a\0\0\0\0\0", 6)) << c.encoding;
    SetRaw(R"(Software\Imp\Old)", u"x", REG_SZ, "");
    SetRaw(R"(Software\Imp)", u"gone", REG_SZ, "");
  }
}

}  // namespace
