#include "game/CGConfig.h"

#include "game/GameUtil.h"

#include <cstdlib>

void CGConfig::Read(const std::string& directory, const std::string& level) {
    levelId = level;
    currentDirectory = directory;
    iniPath = currentDirectory + "\\config.ini";
    const std::string& ini = iniPath;
    levelPath = ReadSettings(levelId == "1" ? "level1" : "level2", "path", ini);
    staticDirectory = currentDirectory + levelPath + ReadSettings("geo", "stat_path", ini);
    dynamicDirectory = currentDirectory + levelPath + ReadSettings("geo", "dyn_path", ini);
    textureDirectory = currentDirectory + levelPath + ReadSettings("texture", "tex_path", ini);
    helpFile = currentDirectory + ReadSettings("help", "helppath", ini);
    menuModel = currentDirectory + ReadSettings("menue", "menuepath", ini);
    vertexShader1 = currentDirectory + ReadSettings("shader", "vertexshader", ini);
    fragmentShader1 = currentDirectory + ReadSettings("shader", "fragmentshader", ini);
    vertexShader2 = currentDirectory + ReadSettings("shader2", "vertexshader", ini);
    fragmentShader2 = currentDirectory + ReadSettings("shader2", "fragmentshader", ini);
    resolution = ReadSettings("view", "resolution", ini);

    if (levelId == "1") {
        goal = {-11.0f, 14.0f, -87.0f, -19.0f, 10.0f, -89.0f};
    } else {
        goal = {13.0f, 3.0f, -188.0f, 5.0f, 0.0f, -190.0f};
    }
    ParseResolution(resolution, screenWidth, screenHeight);
}

void CGConfig::ParseResolution(const std::string& text, int& width, int& height) {
    std::string head = text.substr(0, text.find(':'));
    width = std::atoi(head.c_str());
    size_t x = head.find('x');
    height = x == std::string::npos ? width : std::atoi(head.c_str() + x + 1);
}
