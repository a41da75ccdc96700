// The statistics family of the C interface.
#include "capi/api_guard.hpp"
#include "control/statistics.hpp"
#include "gondra.h"

#include <stdexcept>
#include <string>

using Gondra::CApi::guard;
using Gondra::Control::Statistics;

namespace {

using Type = Statistics::Type;
static_assert(static_cast<int>(Type::Empty) == gondra_statistics_type_empty);
static_assert(static_cast<int>(Type::Value) == gondra_statistics_type_value);
static_assert(static_cast<int>(Type::Array) == gondra_statistics_type_array);
static_assert(static_cast<int>(Type::Map) == gondra_statistics_type_map);

void require(void const* pointer, char const* what) {
    if (pointer == nullptr) {
        throw std::invalid_argument(std::string(what) + " must not be null");
    }
}

Statistics const& stats(gondra_statistics_t const* statistics) {
    require(statistics, "statistics");
    return *Statistics::from_c(statistics);
}

Statistics& stats(gondra_statistics_t* statistics) {
    require(statistics, "statistics");
    return *Statistics::from_c(statistics);
}

Type entry_type(gondra_statistics_type_t type) {
    if (type != gondra_statistics_type_value && type != gondra_statistics_type_array &&
        type != gondra_statistics_type_map) {
        throw std::runtime_error("invalid statistics type " + std::to_string(type));
    }
    return static_cast<Type>(type);
}

} // namespace

extern "C" {

bool gondra_statistics_root(gondra_statistics_t const* statistics, uint64_t* key) {
    return guard([&] {
        require(key, "key");
        *key = stats(statistics).root();
    });
}

bool gondra_statistics_type(gondra_statistics_t const* statistics, uint64_t key, gondra_statistics_type_t* type) {
    return guard([&] {
        require(type, "type");
        *type = static_cast<gondra_statistics_type_t>(stats(statistics).type(key));
    });
}

bool gondra_statistics_array_size(gondra_statistics_t const* statistics, uint64_t key, size_t* size) {
    return guard([&] {
        require(size, "size");
        *size = stats(statistics).array_size(key);
    });
}

bool gondra_statistics_array_at(gondra_statistics_t const* statistics, uint64_t key, size_t offset,
                                uint64_t* subkey) {
    return guard([&] {
        require(subkey, "subkey");
        *subkey = stats(statistics).array_at(key, offset);
    });
}

bool gondra_statistics_array_push(gondra_statistics_t* statistics, uint64_t key, gondra_statistics_type_t type,
                                  uint64_t* subkey) {
    return guard([&] {
        require(subkey, "subkey");
        *subkey = stats(statistics).array_push(key, entry_type(type));
    });
}

bool gondra_statistics_map_size(gondra_statistics_t const* statistics, uint64_t key, size_t* size) {
    return guard([&] {
        require(size, "size");
        *size = stats(statistics).map_size(key);
    });
}

bool gondra_statistics_map_has_subkey(gondra_statistics_t const* statistics, uint64_t key, char const* name,
                                      bool* result) {
    return guard([&] {
        require(name, "name");
        require(result, "result");
        *result = stats(statistics).map_has_subkey(key, name);
    });
}

bool gondra_statistics_map_subkey_name(gondra_statistics_t const* statistics, uint64_t key, size_t offset,
                                       char const** name) {
    return guard([&] {
        require(name, "name");
        *name = stats(statistics).map_subkey_name(key, offset);
    });
}

bool gondra_statistics_map_at(gondra_statistics_t const* statistics, uint64_t key, char const* name,
                              uint64_t* subkey) {
    return guard([&] {
        require(name, "name");
        require(subkey, "subkey");
        *subkey = stats(statistics).map_at(key, name);
    });
}

bool gondra_statistics_map_add_subkey(gondra_statistics_t* statistics, uint64_t key, char const* name,
                                      gondra_statistics_type_t type, uint64_t* subkey) {
    return guard([&] {
        require(name, "name");
        require(subkey, "subkey");
        *subkey = stats(statistics).map_add_subkey(key, name, entry_type(type));
    });
}

bool gondra_statistics_value_get(gondra_statistics_t const* statistics, uint64_t key, double* value) {
    return guard([&] {
        require(value, "value");
        *value = stats(statistics).value_get(key);
    });
}

bool gondra_statistics_value_set(gondra_statistics_t* statistics, uint64_t key, double value) {
    return guard([&] { stats(statistics).value_set(key, value); });
}
}
