#version 110
varying vec3 normal;
void main() {
    float light = 0.5 + 0.5 * abs(normalize(normal).y);
    gl_FragColor = vec4(1.0, 0.8 * light, 0.1, 1.0);
}
