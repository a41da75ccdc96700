// The configuration family of the C interface.
#include "capi/api_guard.hpp"
#include "control/configuration.hpp"
#include "gondra.h"

#include <cstring>
#include <stdexcept>
#include <string>

using Gondra::CApi::guard;
using Gondra::Control::Configuration;

namespace {

static_assert(static_cast<unsigned>(Configuration::Value) == gondra_configuration_type_value);
static_assert(static_cast<unsigned>(Configuration::Array) == gondra_configuration_type_array);
static_assert(static_cast<unsigned>(Configuration::Map) == gondra_configuration_type_map);

void require(void const* pointer, char const* what) {
    if (pointer == nullptr) {
        throw std::invalid_argument(std::string(what) + " must not be null");
    }
}

Configuration const& config(gondra_configuration_t const* configuration) {
    require(configuration, "configuration");
    return *Configuration::from_c(configuration);
}

} // namespace

extern "C" {

bool gondra_configuration_root(gondra_configuration_t const* configuration, gondra_id_t* key) {
    return guard([&] {
        config(configuration);
        require(key, "key");
        *key = Configuration::root;
    });
}

bool gondra_configuration_type(gondra_configuration_t const* configuration, gondra_id_t key,
                               gondra_configuration_type_bitset_t* type) {
    return guard([&] {
        require(type, "type");
        *type = config(configuration).type(key);
    });
}

bool gondra_configuration_description(gondra_configuration_t const* configuration, gondra_id_t key,
                                      char const** description) {
    return guard([&] {
        require(description, "description");
        *description = config(configuration).description(key);
    });
}

bool gondra_configuration_array_size(gondra_configuration_t const* configuration, gondra_id_t key, size_t* size) {
    return guard([&] {
        require(size, "size");
        *size = config(configuration).array_size(key);
    });
}

bool gondra_configuration_array_at(gondra_configuration_t const* configuration, gondra_id_t key, size_t offset,
                                   gondra_id_t* subkey) {
    return guard([&] {
        require(subkey, "subkey");
        *subkey = config(configuration).array_at(key, offset);
    });
}

bool gondra_configuration_map_size(gondra_configuration_t const* configuration, gondra_id_t key, size_t* size) {
    return guard([&] {
        require(size, "size");
        *size = config(configuration).map_size(key);
    });
}

bool gondra_configuration_map_has_subkey(gondra_configuration_t const* configuration, gondra_id_t key,
                                         char const* name, bool* result) {
    return guard([&] {
        require(name, "name");
        require(result, "result");
        *result = config(configuration).map_has_subkey(key, name);
    });
}

bool gondra_configuration_map_subkey_name(gondra_configuration_t const* configuration, gondra_id_t key,
                                          size_t offset, char const** name) {
    return guard([&] {
        require(name, "name");
        *name = config(configuration).map_subkey_name(key, offset);
    });
}

bool gondra_configuration_map_at(gondra_configuration_t const* configuration, gondra_id_t key, char const* name,
                                 gondra_id_t* subkey) {
    return guard([&] {
        require(name, "name");
        require(subkey, "subkey");
        *subkey = config(configuration).map_at(key, name);
    });
}

bool gondra_configuration_value_is_assigned(gondra_configuration_t const* configuration, gondra_id_t key,
                                            bool* assigned) {
    return guard([&] {
        require(assigned, "assigned");
        *assigned = config(configuration).value_is_assigned(key);
    });
}

bool gondra_configuration_value_get_size(gondra_configuration_t const* configuration, gondra_id_t key,
                                         size_t* size) {
    return guard([&] {
        require(size, "size");
        *size = config(configuration).value_get(key).size() + 1;
    });
}

bool gondra_configuration_value_get(gondra_configuration_t const* configuration, gondra_id_t key, char* value,
                                    size_t size) {
    return guard([&] {
        require(value, "value");
        std::string const& text = config(configuration).value_get(key);
        if (size < text.size() + 1) {
            throw std::length_error("buffer too small for the configuration value");
        }
        std::memcpy(value, text.c_str(), text.size() + 1);
    });
}

bool gondra_configuration_value_set(gondra_configuration_t* configuration, gondra_id_t key, char const* value) {
    return guard([&] {
        require(configuration, "configuration");
        require(value, "value");
        Configuration::from_c(configuration)->value_set(key, value);
    });
}
}
