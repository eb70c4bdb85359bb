#include "render/light_spots.h"

#include <cmath>

namespace {

bool HasScreen(int32_t width, int32_t height, float worldWidth, float worldHeight)
{
    return width > 0 && height > 0 && worldWidth > 0.0f && worldHeight > 0.0f;
}

}  // namespace

SpotPlacement PlaceSpotAt(int32_t offsetX, int32_t offsetY, int32_t width, int32_t height,
                          float worldWidth, float worldHeight, float spotExtent)
{
    SpotPlacement place{};
    if (!HasScreen(width, height, worldWidth, worldHeight)) return place;
    place.offsetX = offsetX;
    place.offsetY = offsetY;
    place.posX = static_cast<float>(offsetX) / static_cast<float>(width) * worldWidth;
    place.posY = static_cast<float>(offsetY) / static_cast<float>(height) * worldHeight;
    // The window goes back from world units to pixels, so that it is the block the quad shows.
    place.row0 = static_cast<int32_t>(
        std::lrint((1.0 - (static_cast<double>(place.posY) + static_cast<double>(spotExtent)) /
                              static_cast<double>(worldHeight)) *
                   static_cast<double>(height)));
    place.col0 = static_cast<int32_t>(
        std::lrint(static_cast<double>(place.posX) / static_cast<double>(worldWidth) *
                   static_cast<double>(width)));
    return place;
}

SpotPlacement PlaceLightSpot(float phase, float freqX, float freqY, int32_t width, int32_t height,
                             float worldWidth, float worldHeight, float spotExtent)
{
    if (!HasScreen(width, height, worldWidth, worldHeight)) return SpotPlacement{};
    // The products of two floats are exact in double; the offsets are whole pixels, rounded
    // to the even one on a tie.
    const double across = std::sin(static_cast<double>(phase) * static_cast<double>(freqX));
    const double up = std::cos(static_cast<double>(phase) * static_cast<double>(freqY));
    const auto offsetX = static_cast<int32_t>(
        std::lrint((across + 1.0) * 0.5 * static_cast<double>(width - SpotSize)));
    const auto offsetY =
        static_cast<int32_t>(std::lrint((up + 1.0) * 0.5 * static_cast<double>(height - SpotSize)));
    return PlaceSpotAt(offsetX, offsetY, width, height, worldWidth, worldHeight, spotExtent);
}
