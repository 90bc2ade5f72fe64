#version 110
void main() {
    gl_FragColor = gl_Color;
}
