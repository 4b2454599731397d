// GwPoint2 and GwRect2: the float point and rectangle the transforms measure with.
#include <algorithm>
#include <cmath>

#include "image/processing/processing_kit.h"

float GwPoint2::Length() const { return static_cast<float>(std::hypot(static_cast<double>(x), static_cast<double>(y))); }

float GwPoint2::Distance(const GwPoint2& p) const { return (*this - p).Length(); }

GwPoint2 GwPoint2::Rotated(float degrees) const {
    double c = 1, s = 0;
    int quarter = 0;
    if (!GwProcessingKit::TurnOf(degrees, c, s, quarter)) return GwPoint2(NAN, NAN);
    return GwPoint2(static_cast<float>(c * x - s * y), static_cast<float>(s * x + c * y));
}

GwRect2::GwRect2(const RECT& r)
    : botLeft(static_cast<float>(r.left), static_cast<float>(r.bottom)),
      topRight(static_cast<float>(r.right), static_cast<float>(r.top)) {}

bool GwRect2::IsEmpty() const { return !(Width() > 0 && Height() > 0); }

float GwRect2::Surface() const { return IsEmpty() ? 0.0f : Width() * Height(); }

GwPoint2 GwRect2::Center() const {
    return GwPoint2((botLeft.x + topRight.x) * 0.5f, (botLeft.y + topRight.y) * 0.5f);
}

GwRect2 GwRect2::Intersection(const GwRect2& r) const {
    const GwRect2 common(std::max(botLeft.x, r.botLeft.x), std::max(botLeft.y, r.botLeft.y),
                         std::min(topRight.x, r.topRight.x), std::min(topRight.y, r.topRight.y));
    return common.IsEmpty() ? GwRect2() : common;
}

GwRect2 GwRect2::Union(const GwRect2& r) const {
    if (r.IsEmpty()) return *this;
    if (IsEmpty()) return r;
    return GwRect2(std::min(botLeft.x, r.botLeft.x), std::min(botLeft.y, r.botLeft.y),
                   std::max(topRight.x, r.topRight.x), std::max(topRight.y, r.topRight.y));
}

GwRect2 GwRect2::Including(const GwPoint2& p) const {
    return GwRect2(std::min(botLeft.x, p.x), std::min(botLeft.y, p.y), std::max(topRight.x, p.x),
                   std::max(topRight.y, p.y));
}

bool GwRect2::Contains(const GwPoint2& p) const {
    return p.x >= botLeft.x && p.x < topRight.x && p.y >= botLeft.y && p.y < topRight.y;
}

bool GwRect2::Contains(const GwRect2& r) const {
    if (r.IsEmpty()) return true;
    return r.botLeft.x >= botLeft.x && r.botLeft.y >= botLeft.y && r.topRight.x <= topRight.x &&
           r.topRight.y <= topRight.y;
}
