// A private temporary directory per test for the tests of documents and
// packets that read and write files, with paths written the Windows way.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/ws_string.h"
#include "support/temp_dir.h"

class XmlTestFiles : public ::testing::Test {
 protected:
  void Write(const std::string& relative, const std::string& bytes) const {
    std::ofstream(dir_.path() / relative, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(dir_.path() / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // A backslash before each part of the relative path: "sub/name" becomes
  // "<dir>\sub\name".
  WsString WindowsPath(const std::string& relative) const {
    WsString rest(std::filesystem::path(relative).wstring());
    rest.ReplaceAll(L"/", L"\\");
    return WsString(dir_.path().wstring()) + L"\\" + rest;
  }

 private:
  TempDir dir_;
};
