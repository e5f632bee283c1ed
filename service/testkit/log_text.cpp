#include "testkit/log_text.h"

namespace zandle::testkit {
namespace {

const char* const kProjects[] = {"site", "plant", "bridge", "tower", "harbour", "depot", "school", "clinic"};
const char* const kKinds[] = {"plan", "section", "detail", "elevation", "survey", "layout"};
const char* const kExtensions[] = {".dwg", ".dxf", ".pdf", ".png", ".csv", ".xml"};
const char* const kLayers[] = {"Walls",     "Doors",      "Grid",   "Dimensions",  "Hatch",
                               "Furniture", "Electrical", "Piping", "Annotations", "Levels"};
const char* const kFonts[] = {"Arial Narrow", "ISOCPEUR", "Segoe UI", "Consolas", "SimSun", "Tahoma", "Romans"};
const char* const kPrinters[] = {"HP DesignJet T830", "Canon iPF770", "Xerox 7830", "PDF Writer", "Epson T5200"};
const char* const kModules[] = {"render", "kernel32", "ntdll", "plotter", "geometry", "ole32", "msvcr120"};
const char* const kOperations[] = {"upload", "download", "sync", "lock", "checkout", "publish"};
const char* const kSettings[] = {"AutoSave", "GridSnap", "Units", "Language", "PlotStyle", "Theme", "Backup"};
const char* const kFormats[] = {"PDF", "DWF", "IFC", "SVG", "PNG", "STEP"};

}  // namespace

std::string LogTextMaker::hex(int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int i = 0; i < digits; ++i) text += kDigits[pick(16)];
  return text;
}

std::string LogTextMaker::file() {
  return std::string("C:\\Projects\\") + oneOf(kProjects) + "_" + number(5000) + "\\" + oneOf(kKinds) + "-" +
         number(100) + oneOf(kExtensions);
}

std::string LogTextMaker::host() {
  return "10." + number(8) + "." + number(256) + "." + number(256) + ":" + number(9000);
}

std::string LogTextMaker::next() {
  switch (pick(18)) {
    case 0:
      return "Opened drawing " + file() + " in " + number(4000) + " ms";
    case 1:
      return "Saved " + file() + " (" + number(90000) + " KB)";
    case 2:
      return std::string("Render of layer '") + oneOf(kLayers) + "' took " + number(2500) + " ms";
    case 3:
      return "Network timeout after " + number(60000) + " ms contacting " + host();
    case 4:
      return "Request " + hex(8) + " to " + host() + " failed: timeout";
    case 5:
      return "License server " + host() + " answered: " + number(50) + " of 50 seats in use";
    case 6:
      return std::string("Font '") + oneOf(kFonts) + "' not found, using '" + oneOf(kFonts) + "'";
    case 7:
      return std::string("Printer ") + oneOf(kPrinters) + " reported status 0x" + hex(4);
    case 8:
      return "Memory in use " + number(3000) + " MB, peak " + number(4000) + " MB";
    case 9:
      return "Exception 0x" + hex(8) + " at 0x" + hex(8) + " in " + oneOf(kModules) + ".dll";
    case 10:
      return "Selection of " + number(500) + " objects moved by (" + number(2000) + ", " + number(2000) + ")";
    case 11:
      return "Plot " + file() + " sent to " + oneOf(kPrinters) + ", " + number(40) + " pages";
    case 12:
      return std::string(pick(3) ? "Cache hit" : "Cache miss") + " for tile " + hex(12);
    case 13:
      return "User u" + number(50000) + " changed " + oneOf(kSettings) + " from " + number(10) + " to " + number(10);
    case 14:
      return std::string("Export to ") + oneOf(kFormats) + " finished: " + number(200000) + " entities in " +
             number(9000) + " ms";
    case 15:
      return "Retry " + number(5) + " of 5: " + oneOf(kOperations) + " on " + host();
    case 16:
      return std::string("Undo stack holds ") + number(200) + " steps, " + number(900) + " KB";
    default:
      // One line in a thousand in all.
      if (pick(56) == 0) return "Block " + number(64) + " of " + file() + ": checksum mismatch, got " + hex(8);
      return "Idle for " + number(600) + " s, autosave to " + file();
  }
}

}  // namespace zandle::testkit
