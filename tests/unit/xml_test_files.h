// A private temporary directory per test, removed afterwards, for the tests
// of documents and packets that read and write files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/ws_string.h"

class XmlTestFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    directory_ = std::filesystem::temp_directory_path() /
                 (std::string("ravenlink_") + info->test_suite_name() + "_" + info->name() + "_" +
                  std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::remove_all(directory_);
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  void Write(const std::string& relative, const std::string& bytes) const {
    std::ofstream(directory_ / relative, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& relative) const {
    std::ifstream in(directory_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The path as a Windows caller writes it: a backslash before each part of
  // the relative path ("sub/name" becomes "<dir>\sub\name").
  WsString WindowsPath(const std::string& relative) const {
    WsString path(directory_.wstring());
    WsString rest(std::filesystem::path(relative).wstring());
    rest.ReplaceAll(L"/", L"\\");
    return path + L"\\" + rest;
  }

  std::filesystem::path directory_;
};
