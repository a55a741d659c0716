#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "protocol/frame.h"
#include "sim/picture.h"

namespace qzr::sim {

// One object of each type, made on first use. A subsystem keeps its own state
// here under a type of its own, so the camera needs to know nothing about it.
class PartStore {
public:
    template <typename T>
    T& Get()
    {
        std::shared_ptr<void>& part = m_parts[std::type_index(typeid(T))];
        if (!part)
            part = std::make_shared<T>();
        return *static_cast<T*>(part.get());
    }

private:
    std::unordered_map<std::type_index, std::shared_ptr<void>> m_parts;
};

// What the camera keeps across restarts: a file of `key value` lines, one word
// a value, written in the order the keys were first set. Without a path
// nothing is read or written.
class StateFile {
public:
    explicit StateFile(std::string path) : m_path(std::move(path)) {}

    // Takes in the values of the file, over those set before.
    void Read();
    void Write() const;

    std::optional<std::string> Value(const std::string& key) const;
    void Set(const std::string& key, std::string value);

private:
    std::string m_path;
    std::vector<std::pair<std::string, std::string>> m_values;
};

// The camera itself: its id and rate, how it makes pictures and the picture of
// the current transfer. Owned by the serving thread.
class CameraState {
public:
    CameraState(std::uint8_t id, std::uint32_t baud, std::string stateFile);

    // The id and rate saved in the state file, where it holds valid ones.
    void Load();
    // Saves the current id and rate with whatever else the file holds.
    void Save();

    // Makes a new picture with the current codes and the next running number.
    const Bytes& TakePicture();

    // A subsystem's own state, one object of each type: state.Of<LensState>().
    template <typename T>
    T& Of()
    {
        return m_parts.Get<T>();
    }

    std::uint8_t id;
    std::uint32_t baud;
    // Resolution, quality and test mark of the pictures made, and the running
    // number of the last one, which each picture shows.
    PictureParams picture{5, 1, false, 0};
    std::uint16_t packetSize = 512;  // of numbered sub-packets
    Bytes currentPicture;            // of the current transfer; empty before the first
    StateFile saved;                 // a subsystem may keep further values there

private:
    PartStore m_parts;
};

}  // namespace qzr::sim
