#include "service_test_support.h"

#include <pugixml.hpp>
#include <zlib.h>

namespace ravenlink_service {

std::string Utf16LeWithBom(const std::string& utf8) {
  std::string out = "\xFF\xFE";
  for (wchar_t c : pugi::as_wide(utf8)) {
    // Only texts of the Basic Multilingual Plane are used in the tests.
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return out;
}

std::string Gunzip(const std::string& bytes) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return std::string();
  std::string out;
  char buffer[4096];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  int result = Z_OK;
  while (result == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof(buffer);
    result = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof(buffer) - stream.avail_out);
  }
  inflateEnd(&stream);
  return result == Z_STREAM_END ? out : std::string();
}

std::string ClientQueryPacket(const std::vector<std::string>& targetApplications,
                              const std::string& upcs) {
  const std::string& targetApplication = targetApplications.front();
  std::string targets;
  for (const std::string& target : targetApplications) {
    targets += "\t\t\t\t\t<metadata field=\"targetApplication\">" + target + "</metadata>\n";
  }
  return "<?xml version=\"1.0\"?>\n"
         "<packet xmlns=\"http://www.quorvane.com/Schemas/KVA/2.0\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
         "xsi:schemaLocation=\"http://www.quorvane.com/Schemas/KVA/2.0 "
         "Schemas/Common/2.0/Packet.xsd\" schemaVersion=\"2.0\">\n"
         "\t<header>\n\t\t<locale>en-us</locale>\n\t\t<date />\n"
         "\t\t<client>\n\t\t\t<swapp version=\"1.0\">App</swapp>\n"
         "\t\t\t<corelib version=\"17.0.0\">quillo</corelib>\n"
         "\t\t\t<wrapperlib version=\"2.0\">" +
         targetApplication +
         "</wrapperlib>\n\t\t</client>\n\t</header>\n"
         "\t<body>\n\t\t<contentQuery>\n\t\t\t<query type=\"And\">\n"
         "\t\t\t\t<metadata field=\"contentType\">NOTIFICATION</metadata>\n"
         "\t\t\t\t<metadata field=\"status\">live</metadata>\n"
         "\t\t\t\t<query type=\"Or\">\n" +
         targets +
         "\t\t\t\t</query>\n"
         "\t\t\t\t<query type=\"Or\">" +
         upcs + "</query>\n\t\t\t</query>\n\t\t</contentQuery>\n\t</body>\n</packet>\n";
}

}  // namespace ravenlink_service
