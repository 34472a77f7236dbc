#version 120
// Tile program: shows a kept tile of the lit picture on the target, texel for
// pixel: its colour (premultiplied, blended over what the target holds) and the
// depth the lighting program stored there, so that what is drawn after the
// frame, and the depth view, find the depth buffer as if the tile had just
// been drawn on the target.
//
// Uniforms:
//   tile_colour  the tiles' colour: red, green, blue premultiplied by alpha
//   tile_depth   the tiles' depth texture (1 where nothing was drawn)

uniform sampler2D tile_colour;
uniform sampler2D tile_depth;

void main() {
    vec2 st = gl_TexCoord[0].st;
    gl_FragColor = texture2D(tile_colour, st);
    gl_FragDepth = texture2D(tile_depth, st).r;
}
