// The C interface of models reported during a solve call.
#include "capi/api_guard.hpp"
#include "control/model.hpp"

#include <algorithm>
#include <stdexcept>

using Gondra::CApi::guard;
using Gondra::Symbols::Symbol;

namespace {

Gondra::Control::Model& model_of(gondra_model_t const* model) {
    if (model == nullptr || model->model == nullptr) {
        throw std::invalid_argument("model must not be null");
    }
    return *model->model;
}

template <class T> T* out(T* p) {
    if (p == nullptr) {
        throw std::invalid_argument("output argument must not be null");
    }
    return p;
}

} // namespace

extern "C" {

bool gondra_model_contains(gondra_model_t const* model, gondra_symbol_t atom, bool* contained) {
    return guard([&] { *out(contained) = model_of(model).contains(Symbol::from_rep(atom)); });
}

bool gondra_model_is_true(gondra_model_t const* model, gondra_literal_t literal, bool* result) {
    return guard([&] { *out(result) = model_of(model).is_true_program_literal(literal); });
}

bool gondra_model_symbols_size(gondra_model_t const* model, gondra_show_type_bitset_t show, size_t* size) {
    return guard([&] { *out(size) = model_of(model).symbols(show).size(); });
}

bool gondra_model_symbols(gondra_model_t const* model, gondra_show_type_bitset_t show,
                          gondra_symbol_t* symbols, size_t size) {
    return guard([&] {
        auto all = model_of(model).symbols(show);
        if (size < all.size() || (symbols == nullptr && !all.empty())) {
            throw std::length_error("symbol buffer too small: " + std::to_string(all.size()) + " symbols");
        }
        for (size_t i = 0; i < all.size(); ++i) {
            symbols[i] = all[i].rep();
        }
    });
}

bool gondra_model_number(gondra_model_t const* model, uint64_t* number) {
    return guard([&] { *out(number) = model_of(model).number(); });
}

bool gondra_model_optimality_proven(gondra_model_t const* model, bool* proven) {
    return guard([&] { *out(proven) = model_of(model).optimality_proven(); });
}

bool gondra_model_cost_size(gondra_model_t const* model, size_t* size) {
    return guard([&] { *out(size) = model_of(model).cost().size(); });
}

bool gondra_model_cost(gondra_model_t const* model, int64_t* costs, size_t size) {
    return guard([&] {
        auto const& cost = model_of(model).cost();
        if (size < cost.size() || (costs == nullptr && !cost.empty())) {
            throw std::length_error("cost buffer too small: " + std::to_string(cost.size()) + " levels");
        }
        std::copy(cost.begin(), cost.end(), costs);
    });
}

bool gondra_model_thread_id(gondra_model_t const* model, gondra_id_t* id) {
    return guard([&] { *out(id) = model_of(model).thread_id(); });
}

bool gondra_model_extend(gondra_model_t* model, gondra_symbol_t const* symbols, size_t size) {
    return guard([&] {
        if (symbols == nullptr && size > 0) {
            throw std::invalid_argument("symbols must not be null");
        }
        std::vector<Symbol> add;
        add.reserve(size);
        for (size_t i = 0; i < size; ++i) {
            add.push_back(Symbol::from_rep(symbols[i]));
        }
        model_of(model).extend(add);
    });
}

} // extern "C"
