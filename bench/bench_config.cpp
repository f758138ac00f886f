// Times the settings-file writes against their floor: reading the same bytes and replacing the
// file atomically with them. Prints figures; never fails.
#include "config/directive.h"
#include "config/ini.h"
#include "config/text_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace larkspan;

namespace {

using Clock = std::chrono::steady_clock;

struct Timing
{
    double operationMicros = 0;
    double floorMicros = 0;
};

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double Micros(const std::function<void(int)>& body, int round)
{
    const auto start = Clock::now();
    body(round);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// Alternates operation and floor so that drift of the disk affects both alike.
Timing Measure(int rounds, const std::function<void(int)>& operation, const std::function<void(int)>& floor)
{
    std::vector<double> operationSamples;
    std::vector<double> floorSamples;
    for (int round = 0; round < rounds; ++round) {
        operationSamples.push_back(Micros(operation, round));
        floorSamples.push_back(Micros(floor, round));
    }
    return {Median(operationSamples), Median(floorSamples)};
}

void Check(const Status& status)
{
    if (!status.ok()) {
        std::fprintf(stderr, "bench_config: %s\n", status.message().c_str());
        std::exit(0);
    }
}

void CopyFloor(const std::string& path)
{
    std::string content;
    Check(ReadWholeFile(path, content));
    Check(WriteFileAtomically(path, content));
}

void Print(const char* name, std::size_t bytes, const Timing& timing)
{
    std::printf("%-44s %8zu bytes  %9.1f us   floor %9.1f us   ratio %.2f\n", name, bytes,
        timing.operationMicros, timing.floorMicros, timing.operationMicros / timing.floorMicros);
}

std::string GeneratedHttpdConf(std::size_t size)
{
    std::string conf = "ServerRoot \"/tmp\"\nListen 80\nListenBacklog 511\nDocumentRoot \"/var/www\"\n";
    for (int block = 0; conf.size() < size; ++block) {
        const std::string n = std::to_string(block);
        conf += "<VirtualHost *:80>\n    ServerName host" + n + ".localhost\n    DocumentRoot \"/srv/www/host"
            + n + "\"\n    #Listen 10.0.0.1:80\n    ErrorLog logs/host" + n
            + ".log\n    DirectoryIndex index.html index.php\n</VirtualHost>\n";
    }
    return conf;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 101;
    std::string directory = (std::filesystem::temp_directory_path() / "larkspan-bench-XXXXXX").string();
    if (::mkdtemp(directory.data()) == nullptr) {
        std::perror("bench_config: mkdtemp");
        return 0;
    }
    std::printf("median of %d rounds, files in %s\n", rounds, directory.c_str());

    std::string phpIni;
    if (ReadWholeFile("/usr/lib/php/8.2/php.ini-development", phpIni).ok()) {
        const std::string path = directory + "/php.ini";
        Check(WriteFileAtomically(path, phpIni));
        const Timing timing = Measure(
            rounds,
            [&](int round) {
                Check(IniWrite("PHP", "upload_max_filesize", round % 2 ? "8M" : "9M", path, directory));
            },
            [&](int) { CopyFloor(path); });
        Print("IniWrite of one key into php.ini-development", phpIni.size(), timing);
    } else {
        std::printf("php.ini-development not found: IniWrite skipped\n");
    }

    const std::string conf = GeneratedHttpdConf(1024 * 1024);
    const std::string confPath = directory + "/httpd.conf";
    Check(WriteFileAtomically(confPath, conf));
    const Timing timing = Measure(
        rounds, [&](int round) { Check(RewriteDirective(confPath, "Listen", round % 2 ? "8080" : "8081")); },
        [&](int) { CopyFloor(confPath); });
    Print("RewriteDirective of Listen in httpd.conf", conf.size(), timing);

    std::error_code error;
    std::filesystem::remove_all(directory, error);
    return 0;
}
