// The web panel's files, compiled into the binary (see web/embed.cmake).
#pragma once

#include <span>
#include <string_view>

struct WebAsset {
    std::string_view path; // as requested, e.g. "/panel.js"
    std::string_view type; // Content-Type
    std::string_view body;
};

std::span<const WebAsset> WebAssets();
