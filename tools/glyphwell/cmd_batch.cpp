// glyphwell batch: makes one symbol file per line of a list (labels, tickets, badges), on a
// small pool of threads, with a progress bar when standard error is a terminal.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "encoder/payload.h"
#include "encoder/settings.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/output.h"
#include "tools/glyphwell/symbol_reader.h"
#include "tools/glyphwell/symbol_writer.h"
#include "tools/glyphwell/system.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell batch LIST --out-dir DIR [--format png|gif|bmp|svg|eps|pdf] [--jobs N] [options]\n"
    "\n"
    "Encodes every line of LIST (a file, or '-' for standard input) as a symbol file in DIR.\n"
    "A line is NAME<TAB>TEXT, written as DIR/NAME.png (or the format's ending), or just TEXT,\n"
    "named by its line number; with --csv KIND, a CSV list whose header names the payload's\n"
    "fields, and a 'file' column the name. Empty lines are skipped. A line that cannot be encoded is\n"
    "reported with its number and the others are still written.\n";

const char kEpilogue[] = "exit status: 0 all written, 1 some line failed, 2 usage error\n";

struct Job {
    long lineNumber;
    std::string name;
    std::string text;
    std::string error;    // empty when the file was written
    std::string warning;  // e.g. the picture misses the size asked; the file is still written
};

// A name must stay inside DIR: no separators, no "." or "..", no control characters.
bool SafeName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '/' || c == '\\' || c == ':') return false;
    return true;
}

bool ReadLines(FILE* in, std::vector<std::string>* lines) {
    std::string current;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        for (size_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                lines->push_back(current);
                current.clear();
            } else {
                current += buffer[i];
            }
        }
    }
    if (!current.empty()) lines->push_back(current);
    return !std::ferror(in);
}

// One CSV line into its fields: commas separate, a quoted field may hold commas and "" for a quote.
bool SplitCsv(const std::string& line, std::vector<std::string>* cells) {
    std::string cell;
    bool quoted = false, wasQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"' && cell.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            cells->push_back(cell);
            cell.clear();
            wasQuoted = false;
        } else {
            cell += c;
        }
    }
    cells->push_back(cell);
    return !quoted;
}

std::string Duration(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// One line of progress, drawn over itself: bar, count, rate and time left.
void DrawProgress(size_t done, size_t total, double elapsed) {
    constexpr int kWidth = 30;
    const int filled = total ? static_cast<int>(kWidth * done / total) : kWidth;
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const std::string left = rate > 0 ? Duration((total - done) / rate) : "?";
    std::fprintf(stderr, "\r[%s%s] %zu/%zu  %.0f/s  %s left \x1b[K", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), done, total, rate, left.c_str());
    std::fflush(stderr);
}

// What one run of batch was asked to do.
struct BatchRun {
    gwcli::SymbolStyle style;
    std::string outDir;
    long jobs = 0;
    bool verify = false;
    std::string payload;  // --csv KIND
    gwcli::SymbolFormat format = gwcli::SymbolFormat::kPng;
    std::vector<std::string> operands;
};

std::vector<gwcli::Option> BatchOptions(BatchRun* run) {
    std::vector<gwcli::Option> options = {
        {nullptr, nullptr, "output:", nullptr},
        {"--out-dir", "DIR", "directory for the symbol files (made if missing)", gwcli::Text(&run->outDir)},
        {"--format", "FORMAT", "png (default), gif, bmp, svg, eps, pdf, utf8 or ascii (.txt files)",
         gwcli::FormatOption(&run->format)},
        {"--jobs", "N", "encoding threads, 1-64 (default: one per processor)",
         gwcli::Integer(1, 64, &run->jobs)},
        {"--csv", "KIND", "LIST is CSV: a header names the KIND payload's fields (and 'file' the name)",
         gwcli::Text(&run->payload)},
        {"--verify", nullptr, "read each symbol back with a QR reader first; a line that does not read fails",
         gwcli::Flag(&run->verify)},
    };
    const std::vector<gwcli::Option> symbol = gwcli::SymbolOptions(&run->style);
    options.insert(options.end(), symbol.begin(), symbol.end());
    return options;
}

// The checks of the arguments against each other. kContinue, or the exit status.
int CheckArguments(const gwcli::CommandLine& line, BatchRun* run) {
    if (run->operands.size() != 1)
        return gwcli::UsageError(line, "give one LIST file (or - for standard input)");
    if (run->outDir.empty()) return gwcli::UsageError(line, "--out-dir DIR is required");
    const std::string clash = gwcli::CheckStyle(run->style, run->format);
    if (!clash.empty()) return gwcli::UsageError(line, clash);
    if (!run->payload.empty()) {
        std::string ignored, why;
        QRCodeBuildPayload(run->payload, {}, &ignored, &why);
        if (why.rfind("no payload kind", 0) == 0) return gwcli::UsageError(line, "--csv " + why);
        // A payload's format says how its text is read: its bytes go into the symbol as built.
        run->style.bytesAsGiven = true;
        int level = 0;
        if (QRCodePayloadLevel(run->payload, &level)) run->style.request.level = level;
    }
    if (run->verify && run->style.tilde)
        return gwcli::UsageError(line, "--verify cannot check texts with --tilde escapes");
    if (run->verify && !gwcli::HaveSymbolReader())
        return gwcli::Failure(
            "batch", "--verify is unavailable: " + gwcli::SymbolReaderMissing());
    return gwcli::kContinue;
}

// Reads the list's lines and makes the output directory. kContinue, or the exit status.
int ReadList(const BatchRun& run, std::vector<std::string>* lines) {
    const std::string& list = run.operands[0];
    if (list == "-") {
        if (!ReadLines(stdin, lines)) return gwcli::Failure("batch", "cannot read standard input");
    } else {
        FILE* in = std::fopen(list.c_str(), "rb");
        const bool ok = in && ReadLines(in, lines);
        if (in) std::fclose(in);
        if (!ok) return gwcli::Failure("batch", "cannot read '" + list + "'");
    }
    std::error_code ec;
    std::filesystem::create_directories(run.outDir, ec);
    if (!std::filesystem::is_directory(run.outDir, ec))
        return gwcli::Failure("batch", "cannot make directory '" + run.outDir + "'");
    return gwcli::kContinue;
}

// A CSV line's job: its payload built from the cells under the header's fields, and its name
// from the 'file' column. The first line only sets the header; false for it.
bool CsvJob(const std::string& kind, const std::string& text, std::vector<std::string>* header, Job* job) {
    std::vector<std::string> cells;
    if (!SplitCsv(text, &cells)) {
        job->error = "the line is not CSV (an unclosed quote?)";
    } else if (header->empty()) {
        *header = cells;
        return false;
    } else if (cells.size() != header->size()) {
        job->error = "the line has " + std::to_string(cells.size()) + " fields, the header " +
                     std::to_string(header->size());
    } else {
        QRCodePayloadFields fields;
        for (size_t k = 0; k < cells.size(); ++k) {
            if ((*header)[k] == "file")
                job->name = cells[k];
            else if (!cells[k].empty())
                fields.emplace_back((*header)[k], cells[k]);
        }
        std::string why;
        if (!QRCodeBuildPayload(kind, fields, &job->text, &why)) job->error = why;
    }
    return true;
}

// One job per non-empty line, named by its NAME<TAB> part, its 'file' column or its number; a
// line whose name is unsafe or taken, or whose text is too long, is a job that failed.
std::vector<Job> MakeJobs(const BatchRun& run, const std::vector<std::string>& lines) {
    std::vector<Job> work;
    std::map<std::string, long> names;  // name -> line that took it
    std::vector<std::string> header;    // --csv: the field of each column
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string text = lines[i];
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty()) continue;
        Job job{static_cast<long>(i + 1), std::to_string(i + 1), text, "", ""};
        if (!run.payload.empty()) {
            if (!CsvJob(run.payload, text, &header, &job)) continue;
            if (!job.error.empty()) {
                work.push_back(job);
                continue;
            }
        } else if (const size_t tab = text.find('\t'); tab != std::string::npos) {
            job.name = text.substr(0, tab);
            job.text = text.substr(tab + 1);
        }
        if (!SafeName(job.name)) {
            job.error = "'" + gwcli::Printable(job.name) + "' cannot be a file name";
        } else if (!names.emplace(job.name, job.lineNumber).second) {
            job.error = "the name '" + gwcli::Printable(job.name) + "' is already used on line " +
                        std::to_string(names[job.name]);
        } else if (job.text.size() > static_cast<size_t>(QRCODE_TEXT_MAX)) {
            job.error = "the text is longer than " + std::to_string(QRCODE_TEXT_MAX) + " bytes";
        }
        work.push_back(job);
    }
    return work;
}

// Encodes one job's text and writes its file, or says why not in job->error.
void RunJob(const BatchRun& run, const std::string& directory, Job* job) {
    gwcli::MadeSymbol made;
    if (!gwcli::MakeSymbol(run.style, run.format, job->text, false, &made, &job->error)) return;
    job->warning = made.warning;
    if (run.verify) job->error = gwcli::CheckReadsBack(made, run.format);
    const std::string path = directory + job->name + "." + gwcli::FormatExtension(run.format);
    if (job->error.empty()) gwcli::WriteSymbolFile(made, run.style, run.format, path, &job->error);
}

// Runs the jobs on a pool of threads, redrawing the progress bar while they work when standard
// error is a terminal. Returns the seconds it took.
double RunJobs(const BatchRun& run, std::vector<Job>* work) {
    const std::string directory = run.outDir.back() == '/' ? run.outDir : run.outDir + "/";
    std::atomic<size_t> next{0}, done{0};
    auto worker = [&]() {
        for (size_t k; (k = next++) < work->size(); ++done)
            if ((*work)[k].error.empty()) RunJob(run, directory, &(*work)[k]);
    };
    size_t threads =
        run.jobs > 0 ? static_cast<size_t>(run.jobs) : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, std::max<size_t>(1, work->size()));
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    std::vector<std::thread> pool;
    for (size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    const bool showProgress = gwcli::IsTerminal(stderr);
    // This thread only watches: it redraws the bar while the pool works.
    while (showProgress && done < work->size()) {
        DrawProgress(done, work->size(), elapsed());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread& t : pool) t.join();
    const double seconds = elapsed();
    if (showProgress) {
        DrawProgress(done, work->size(), seconds);
        std::fputc('\n', stderr);
    }
    return seconds;
}

// Each line's warning and failure, then the count; the exit status.
int Report(const BatchRun& run, const std::vector<Job>& work, double seconds) {
    size_t failed = 0;
    for (const Job& job : work) {
        if (!job.warning.empty())
            std::fprintf(stderr, "glyphwell batch: line %ld: warning: %s\n", job.lineNumber,
                         job.warning.c_str());
        if (job.error.empty()) continue;
        ++failed;
        std::fprintf(stderr, "glyphwell batch: line %ld: %s\n", job.lineNumber, job.error.c_str());
    }
    std::fprintf(stderr, "glyphwell batch: %zu written, %zu failed, in %s (%s)\n", work.size() - failed,
                 failed, Duration(seconds).c_str(), gwcli::Printable(run.outDir).c_str());
    return failed ? kExitFailed : kExitOk;
}

int RunBatch(const std::vector<std::string>& args) {
    BatchRun run;
    const gwcli::CommandLine line{"batch", kSynopsis, BatchOptions(&run), kEpilogue};
    int status = gwcli::Parse(line, args, &run.operands);
    if (status == gwcli::kContinue) status = CheckArguments(line, &run);
    std::vector<std::string> lines;
    if (status == gwcli::kContinue) status = ReadList(run, &lines);
    if (status != gwcli::kContinue) return status;
    std::vector<Job> work = MakeJobs(run, lines);
    const double seconds = RunJobs(run, &work);
    return Report(run, work, seconds);
}

const GlyphwellCommand kBatch("batch", "encode every line of a list as a symbol file, on several threads",
                              RunBatch);

}  // namespace
