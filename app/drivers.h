// The printer application's drivers: one per model, with the capabilities
// every model shares (resolutions, sizes, margins, media types, colour modes,
// the ink-set and finish attributes) and the raster callbacks.
#pragma once

#include <pappl/pappl.h>

#include <array>
#include <string_view>

#include "filter/zelt_models.h"

namespace zelt_app {

struct Model {
  const char* driver;       // PAPPL driver name
  const char* description;  // make and model
  const char* device_id;    // IEEE 1284 device ID the driver stands for
  int model_number;         // what the page start needs (cupsModelNumber of the PPDs)
};

inline constexpr std::array<Model, 2> kModels = {{
    {"zelt-basic", "Zelt Basic", "MFG:Zelt;MDL:Basic;CMD:ZELT;", ZELT_MODEL_BASIC},
    {"zelt-pro", "Zelt Pro", "MFG:Zelt;MDL:Pro;CMD:ZELT;", ZELT_MODEL_PRO},
}};

// The model of a PAPPL driver name; nullptr when unknown.
const Model* FindModel(std::string_view driver);

// The driver for a printer's IEEE 1284 device ID (MFG and MDL compared
// without regard to case), or nullptr when no model matches.  The one place
// where device IDs are matched: USB auto-add and `drivers --device-id` ask it.
const char* DriverForDeviceId(const char* device_id);

// PAPPL's driver callback: fills the driver data and attributes of `driver_name`.
bool DriverCallback(pappl_system_t* system, const char* driver_name, const char* device_uri,
                    const char* device_id, pappl_pr_driver_data_t* data, ipp_t** attrs,
                    void* context);

// PAPPL's auto-add callback: DriverForDeviceId.
const char* AutoAddCallback(const char* device_info, const char* device_uri, const char* device_id,
                            void* context);

// The English labels of the vendor attributes and their values, for the web
// interface and for clients that fetch the printer's strings.
const char* EnglishStrings();

}  // namespace zelt_app
