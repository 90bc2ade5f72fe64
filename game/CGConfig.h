#pragma once

#include <string>

// The game's settings from "config.ini" and the level rules that depend on
// the level: directories, shader sources, resolution and the goal box.
struct CGGoalBox {
    float maxX = 0, maxY = 0, maxZ = 0;
    float minX = 0, minY = 0, minZ = 0;
    // Strictly inside: a point on a bound does not count.
    bool Contains(float x, float y, float z) const {
        return minX < x && x < maxX && minY < y && y < maxY && minZ < z && z < maxZ;
    }
};

class CGConfig {
public:
    // Reads the settings of the level ("1" selects [level1], anything else
    // [level2]) from "config.ini" in the directory, which is also the prefix
    // of every path (values carry their own separators).
    void Read(const std::string& currentDirectory, const std::string& levelId);

    // Width: the number before the first "x"; height: the number after it
    // (the whole text's number for both when there is no "x"). atoi rules.
    static void ParseResolution(const std::string& text, int& width, int& height);

    std::string currentDirectory;
    std::string iniPath;
    std::string levelId;
    std::string levelPath;
    std::string staticDirectory;
    std::string dynamicDirectory;
    std::string textureDirectory;
    std::string helpFile;
    std::string menuModel;
    std::string vertexShader1, fragmentShader1;
    std::string vertexShader2, fragmentShader2;
    std::string resolution;
    int screenWidth = 0;
    int screenHeight = 0;
    CGGoalBox goal;
};
