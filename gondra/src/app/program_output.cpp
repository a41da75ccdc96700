#include "app/program_output.hpp"

#include "app/statistics_printer.hpp"
#include "app/text_format.hpp"

#include <chrono>

namespace Gondra::App {
namespace {

void write(std::FILE* out, std::string const& text) {
    std::fwrite(text.data(), 1, text.size(), out);
}

// Whoever reads the output (a user waiting on an optimisation, a program that
// stops us after the first model) should see a model as soon as it is found.
// Models with a cost improve on the one before and are few: each is flushed.
// Others are flushed unless the last flush was only just now, so that an
// enumeration of millions of models does not make a system call for each.
class ModelFlush {
public:
    explicit ModelFlush(std::FILE* out) : out_(out) {}
    void after_model(bool has_cost) {
        auto now = std::chrono::steady_clock::now();
        if (has_cost || now - last_ >= std::chrono::milliseconds(50)) {
            std::fflush(out_);
            last_ = now;
        }
    }

private:
    std::FILE* out_;
    std::chrono::steady_clock::time_point last_{};
};

class TextOutput final : public ProgramOutput {
public:
    explicit TextOutput(std::FILE* out) : out_(out), flush_(out) {}

    void search_started() override {
        std::fputs("Solving...\n", out_);
        std::fflush(out_);
    }

    void model(uint64_t number, std::span<std::string const> atoms, std::span<int64_t const> costs) override {
        line_.clear();
        line_ += "Answer: " + std::to_string(number) + "\n";
        for (size_t i = 0; i < atoms.size(); ++i) {
            if (i > 0) {
                line_ += ' ';
            }
            line_ += atoms[i];
        }
        line_ += '\n';
        if (!costs.empty()) {
            line_ += "Optimization:";
            for (int64_t cost : costs) {
                line_ += ' ' + std::to_string(cost);
            }
            line_ += '\n';
        }
        write(out_, line_);
        flush_.after_model(!costs.empty());
    }

    bool statistics(gondra_statistics_t const* step, gondra_statistics_t const* accumulated) override {
        statistics_ = "\nStep statistics:\n\n";
        if (!append_statistics_text(statistics_, step)) {
            return false;
        }
        statistics_ += "\nAccumulated statistics:\n\n";
        return append_statistics_text(statistics_, accumulated);
    }

    void summary(RunSummary const& summary) override {
        using Result = RunSummary::Result;
        std::string text = summary.result == Result::optimum         ? "OPTIMUM FOUND"
                           : summary.result == Result::satisfiable   ? "SATISFIABLE"
                           : summary.result == Result::unsatisfiable ? "UNSATISFIABLE"
                                                                     : "UNKNOWN";
        text +=
            "\n\nModels       : " + std::to_string(summary.models) + (summary.exhausted ? "" : "+") + "\n";
        if (!summary.costs.empty()) {
            text += "Optimization :";
            for (int64_t cost : summary.costs) {
                text += ' ' + std::to_string(cost);
            }
            text += '\n';
        }
        if (summary.interrupted) {
            text += "Interrupted  : yes\n";
        }
        char time[64];
        std::snprintf(time, sizeof time, "Time         : %.3fs\n", summary.seconds);
        text += time;
        text += statistics_;
        write(out_, text);
        std::fflush(out_);
    }

private:
    std::FILE* out_;
    ModelFlush flush_;
    std::string line_; // reused: a model costs no allocation once it is large enough
    std::string statistics_;
};

// The document is opened when the search begins and closed by the summary;
// every model is one element of "models", written when it is found.
class JsonOutput final : public ProgramOutput {
public:
    explicit JsonOutput(std::FILE* out) : out_(out), flush_(out) {}

    void search_started() override { open(); }

    void model(uint64_t, std::span<std::string const> atoms, std::span<int64_t const> costs) override {
        open();
        line_.clear();
        line_ += first_model_ ? "\n    " : ",\n    ";
        first_model_ = false;
        line_ += "{\"atoms\": [";
        for (size_t i = 0; i < atoms.size(); ++i) {
            if (i > 0) {
                line_ += ", ";
            }
            append_json_string(line_, atoms[i]);
        }
        line_ += "], \"costs\": ";
        append_costs(line_, costs);
        line_ += '}';
        write(out_, line_);
        flush_.after_model(!costs.empty());
    }

    bool statistics(gondra_statistics_t const* step, gondra_statistics_t const* accumulated) override {
        statistics_ = "{\n    \"step\": ";
        if (!append_statistics_json(statistics_, step, 2)) {
            return false;
        }
        statistics_ += ",\n    \"accumulated\": ";
        if (!append_statistics_json(statistics_, accumulated, 2)) {
            return false;
        }
        statistics_ += "\n  }";
        return true;
    }

    void summary(RunSummary const& summary) override {
        using Result = RunSummary::Result;
        open();
        std::string text = first_model_ ? "],\n" : "\n  ],\n";
        text += "  \"result\": \"";
        text += summary.result == Result::optimum         ? "optimum"
                : summary.result == Result::satisfiable   ? "satisfiable"
                : summary.result == Result::unsatisfiable ? "unsatisfiable"
                                                          : "unknown";
        text += '"';
        if (!summary.costs.empty()) {
            text += ",\n  \"costs\": ";
            append_costs(text, summary.costs);
        }
        text += std::string(",\n  \"exhausted\": ") + (summary.exhausted ? "true" : "false");
        if (summary.interrupted) {
            text += ",\n  \"interrupted\": true";
        }
        text += ",\n  \"time\": ";
        append_number(text, summary.seconds, true);
        if (!statistics_.empty()) {
            text += ",\n  \"statistics\": " + statistics_;
        }
        if (!summary.error.empty()) {
            text += ",\n  \"error\": ";
            append_json_string(text, summary.error);
        }
        text += "\n}\n";
        write(out_, text);
        std::fflush(out_);
    }

private:
    void open() {
        if (!opened_) {
            opened_ = true;
            std::fputs("{\n  \"models\": [", out_);
        }
    }

    static void append_costs(std::string& out, std::span<int64_t const> costs) {
        out += '[';
        for (size_t i = 0; i < costs.size(); ++i) {
            out += (i > 0 ? ", " : "") + std::to_string(costs[i]);
        }
        out += ']';
    }

    std::FILE* out_;
    ModelFlush flush_;
    bool opened_ = false;
    bool first_model_ = true;
    std::string line_;
    std::string statistics_;
};

} // namespace

std::unique_ptr<ProgramOutput> make_text_output(std::FILE* out) {
    return std::make_unique<TextOutput>(out);
}
std::unique_ptr<ProgramOutput> make_json_output(std::FILE* out) {
    return std::make_unique<JsonOutput>(out);
}

} // namespace Gondra::App
