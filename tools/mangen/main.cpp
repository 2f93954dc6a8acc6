// tavrin_mangen: the manual pages of the three programs, written as roff
// from the one source docs/manuals.txt.
//   tavrin_mangen --source FILE --out DIR --version TEXT
// The source is plain text with a few line directives:
//   @date YYYY-MM-DD            the pages' date
//   @page NAME SECTION SUMMARY  starts a page (DIR/NAME.SECTION)
//   @synopsis                   the following lines are the synopsis, kept as written
//   @section TITLE              a section
//   @item TERM                  a tagged paragraph (an option, an exit status, a file)
// Other lines are running text; a blank line starts a new paragraph.
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

// Text as roff reads it: backslashes and minus signs written out, and a
// line that would start with a control character made plain.
std::string roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

std::string after(const std::string& line, size_t n) {
  const size_t start = line.find_first_not_of(' ', n);
  return start == std::string::npos ? std::string() : line.substr(start);
}

struct Writer {
  std::string dir, version, date;
  std::ofstream page;
  std::string page_name;
  enum { kText, kSynopsis, kItem } mode = kText;
  bool paragraph_pending = false;
  int pages = 0;

  bool start_page(const std::string& spec) {
    std::istringstream in(spec);
    std::string name, section;
    in >> name >> section;
    const std::string summary = after(spec, name.size() + section.size() + 1);
    if (name.empty() || section.empty() || summary.empty()) return false;
    end_block();
    page.close();
    page_name = name + "." + section;
    page.open(dir + "/" + page_name);
    if (!page) return false;
    ++pages;
    std::string upper;
    for (char c : name) upper += char(c >= 'a' && c <= 'z' ? c - 32 : c);
    page << ".TH " << roff(upper) << " " << section << " \"" << date << "\" \"Tavrin " << version
         << "\" \"Tavrin manual\"\n.SH NAME\n"
         << roff(name) << " \\- " << roff(summary) << "\n";
    mode = kText;
    return true;
  }
  void end_block() {
    if (mode == kSynopsis) page << ".fi\n";
    mode = kText;
    paragraph_pending = false;
  }
  void line(const std::string& text) {
    if (mode == kSynopsis) {
      page << (text.empty() ? std::string() : roff(text)) << "\n";
      return;
    }
    if (text.empty()) {
      paragraph_pending = true;
      return;
    }
    if (paragraph_pending) page << (mode == kItem ? ".IP\n" : ".PP\n");
    paragraph_pending = false;
    page << roff(text) << "\n";
  }
};

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args;
  for (int i = 1; i + 1 < argc; i += 2) args[argv[i]] = argv[i + 1];
  if (!args.count("--source") || !args.count("--out") || !args.count("--version")) {
    std::fprintf(stderr, "usage: %s --source FILE --out DIR --version TEXT\n", argv[0]);
    return 2;
  }
  std::ifstream in(args["--source"]);
  if (!in) {
    std::fprintf(stderr, "tavrin_mangen: cannot read %s\n", args["--source"].c_str());
    return 1;
  }
  Writer w;
  w.dir = args["--out"];
  w.version = args["--version"];
  std::string line;
  int number = 0;
  auto fail = [&](const char* why) {
    std::fprintf(stderr, "%s:%d: %s\n", args["--source"].c_str(), number, why);
    return 1;
  };
  while (std::getline(in, line)) {
    ++number;
    if (line.rfind("@date ", 0) == 0) {
      w.date = after(line, 6);
    } else if (line.rfind("@page ", 0) == 0) {
      if (!w.start_page(after(line, 6))) return fail("@page wants NAME SECTION SUMMARY");
    } else if (!w.page.is_open()) {
      if (!line.empty() && line[0] != '#') return fail("text before the first @page");
    } else if (line == "@synopsis") {
      w.end_block();
      w.page << ".SH SYNOPSIS\n.nf\n";
      w.mode = Writer::kSynopsis;
    } else if (line.rfind("@section ", 0) == 0) {
      w.end_block();
      w.page << ".SH " << roff(after(line, 9)) << "\n";
    } else if (line.rfind("@item ", 0) == 0) {
      w.end_block();
      w.page << ".TP\n.B " << roff(after(line, 6)) << "\n";
      w.mode = Writer::kItem;
    } else if (!line.empty() && line[0] == '@') {
      return fail("unknown directive");
    } else {
      w.line(line);
    }
  }
  w.end_block();
  if (w.pages == 0) return fail("no @page");
  return 0;
}
