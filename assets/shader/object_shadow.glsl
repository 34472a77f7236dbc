#version 120
// Shadow program: draws one complex object's shadow sprite into the shadow map.
// The fixed-function vertex stage passes the quad's texture coordinate in
// gl_TexCoord[0]; the quad covers the sprite at its floor position, already
// moved along the directional light by the renderer. The sprite is a sheet of
// frames laid out as the object's images; the quad shows the frame shown.
//
// Uniforms (encodings in docs/encodings.md):
//   texture             the shadow sprite: opaque pixels hold the height of the
//                       tallest part over that floor pixel, red + 255 x green
//                       in bytes (base 255), for the object at scale 1
//   texture_shadow_map  declared for the engine's uniform contract, but nothing
//                       is bound to it: the map is this pass's target, and a
//                       texture being drawn into cannot be read. Never read it.
//   frame_s0, frame_t0  the frame's bottom-left corner in the sheet's texture
//                       coordinates (t = 1 at the top)
//   frame_ds, frame_dt  its extent there; (0, 0, 1, 1) for a still object
//   obj_z               the object's height above the floor (world units)
//   shadow_segment      world height units per channel of the map
//   scale               object scale x zoom
//   obj_w, obj_h, obj_sw, obj_sh, screen_x, screen_y, screen_w, screen_h
//                       the quad's size and place; the quad itself carries them
//
// Output: the height of the caster's top over this floor pixel in the shadow
// map's thermometer encoding (one shadow_segment of height per channel: every
// channel grows with height), so the maximum blend the renderer sets for this pass
// keeps the tallest caster wherever shadows overlap.

uniform sampler2D texture;
uniform sampler2D texture_shadow_map;
uniform float obj_w;
uniform float obj_h;
uniform float obj_z;
uniform float scale;
uniform float obj_sw;
uniform float obj_sh;
uniform float screen_x;
uniform float screen_y;
uniform float screen_w;
uniform float screen_h;
uniform float shadow_segment;
uniform float frame_s0;
uniform float frame_t0;
uniform float frame_ds;
uniform float frame_dt;

float Sprite_Height(vec4 sprite) {
    vec2 digits = floor(sprite.rg * 255.0 + 0.5);
    return digits.r + 255.0 * digits.g;
}

void main() {
    vec4 sprite = texture2D(texture, vec2(frame_s0, frame_t0) + gl_TexCoord[0].st * vec2(frame_ds, frame_dt));
    // Outside the footprint: leave the map as it is.
    if (sprite.a < 0.5) discard;
    float top = obj_z + Sprite_Height(sprite) * scale;
    vec3 segments = clamp(vec3(top / shadow_segment) - vec3(0.0, 1.0, 2.0), 0.0, 1.0);
    // Alpha 1 wherever a caster stands; the lighting program reads only the colour.
    gl_FragColor = vec4(segments, 1.0);
}
