#version 120
// Lighting program: draws one complex object's colour, lit per pixel by up to
// 24 point lights, the directional light (shadowed through the shadow map) and
// the ambient term, and stores the depth of the surface it shows.
// The quad shows one frame of the images, which are sheets of equal frames;
// its top edge has t = 1, its left edge s = 0. Each pixel finds its place on
// the quad from its place in the world's picture, not from the rasterizer's
// interpolation, which rounds a hair differently wherever the tile being drawn
// lies on its target: a tile's pixels must not depend on where it is drawn.
//
// Uniforms, by group (encodings in docs/encodings.md):
//   Images       texture             colour image, alpha = coverage (the normal
//                                    image instead when the normal view is on)
//                texture_normal      cooked normal map: RGB = projection-space
//                                    unit normal mapped from [-1, 1] to [0, 1],
//                                    alpha = height as a fraction of obj_t
//                texture_shadow_map  shadow map of the world's picture, repeating
//                                    every (screen_w, screen_h); caster top height
//                                    in the thermometer encoding (shadow_segment
//                                    world units per channel, R + G + B)
//   Point lights light_x, light_y, light_z[24]  projection-space position
//                light_r, light_g, light_b[24]  colour (may exceed 1)
//                light_range[24]                reach in world units
//                lights_count                   how many entries are in use
//   Sun and sky  directional_light[3]   unit vector toward the directional light
//                directional_strength   its strength
//                ambient_light_col[3]   colour of the sky: ambient and directional
//                ambient_light          ambient level
//   Projection   projection_factor, height_factor   screen = (x/2 + y/2,
//                                   (y - x)/2 * projection_factor - height_factor * z)
//   Frame        frame_s0, frame_t0  the frame shown's bottom-left corner in the
//                                    images' texture coordinates (t = 1 at the top)
//                frame_ds, frame_dt  its extent there; (0, 0, 1, 1) for a still object
//   Object       obj_w, obj_h        frame size in image pixels
//                obj_t               full height in world units (tall / height_factor)
//                scale               object scale x zoom
//                obj_position[3]     projection-space point pictured at the
//                                    frame's top-left corner, z = the object's height
//                obj_sw, obj_sh      frame size in output pixels (unused here)
//                bump_factor         how much the normals' tilt is exaggerated
//   Picture      screen_x, screen_y  the quad's top-left corner in the world's
//                                    picture (screen units from its origin, not
//                                    from the view: nothing here depends on where
//                                    the view is, so a kept tile stays exact)
//                screen_w, screen_h  the picture's extent after which the shadow
//                                    map repeats (it wraps around)
//                picture_origin_x, _y  the world's output pixel at the target's
//                                    left edge and just below its bottom row
//                quad_left, quad_top, quad_width, quad_height  the quad in the
//                                    world's output pixels
//   Map          map_w, map_h, map_t extent of the world, for the depth range
//   March        shadow_reach        how far (world units) the march toward the sun looks
//                march_offset        how far off the surface the march starts
//                shadow_bias         how far a caster must stand above the ray to shade it
//                shadow_shift        share of (1 - dz) x drawn height by which the
//                                    renderer moved each shadow sprite toward the sun
//                shadow_segment      world height units per shadow map channel
//                shadow_steps        reads of the map along a ray
//   Coverage     alpha_cutoff        colours this transparent or more are dropped
//
// The renderer skips work by these rules, so keep them when editing: a point
// light adds nothing at its range or beyond; the march starts at most
// march_offset from the surface and never below the floor (z = 0), climbs
// toward the sun, reads the shadow map only within shadow_reach of its start
// (step i at shadow_reach x ((i - j) / shadow_steps)^2, j in [0, 1) per pixel),
// and only a caster more than shadow_bias above the ray shades it: a step that
// can meet no caster adds nothing, so the renderer leaves it out.
//
// Heights and positions are in world units at zoom 1 (the engine never zooms).
//
// The renderer builds this one file in variants, by lines it puts right after
// #version (without them the program is the full, exact reference):
//   POINT_LIGHTS n     point-light blocks compiled in: 0, 1, 2, 4, 8, 16 or 24
//   SHADOW_MARCH 0     no shadow march: no caster stands high enough on this
//                      object's way toward the sun
//   MARCH_STEPS n      shadow_steps as a constant: the loop unrolls, which a
//                      software rasterizer runs far faster than a loop whose
//                      bound or break it must test
//   NO_NORMAL_VIEW     "texture" always holds the colour image

#ifndef POINT_LIGHTS
#define POINT_LIGHTS 24
#endif
#ifndef SHADOW_MARCH
#define SHADOW_MARCH 1
#endif

uniform sampler2D texture;
uniform sampler2D texture_normal;
uniform sampler2D texture_shadow_map;

uniform float light_x[24];
uniform float light_y[24];
uniform float light_z[24];
uniform float light_r[24];
uniform float light_g[24];
uniform float light_b[24];
uniform float light_range[24];
uniform float lights_count;

uniform float directional_light[3];
uniform float directional_strength;
uniform float ambient_light_col[3];
uniform float ambient_light;

uniform float projection_factor;
uniform float height_factor;

uniform float frame_s0;
uniform float frame_t0;
uniform float frame_ds;
uniform float frame_dt;

uniform float obj_w;
uniform float obj_h;
uniform float obj_t;
uniform float scale;
uniform float obj_position[3];
uniform float obj_sw;
uniform float obj_sh;
uniform float bump_factor;

uniform float screen_x;
uniform float screen_y;
uniform float screen_w;
uniform float screen_h;
uniform float picture_origin_x;
uniform float picture_origin_y;
uniform float quad_left;
uniform float quad_top;
uniform float quad_width;
uniform float quad_height;

uniform float map_w;
uniform float map_h;
uniform float map_t;

uniform float shadow_reach;
uniform float march_offset;
uniform float shadow_bias;
uniform float shadow_shift;
uniform float shadow_segment;
uniform float shadow_steps;
// Colours this transparent or more show no surface: the renderer's alpha test
// drops them anyway; discarding them here spares the lighting.
uniform float alpha_cutoff;

// The march toward the sun: steps crowd near the surface, where shadows are
// sharp; each pixel starts them at its own offset, so the gaps between steps
// read as a fine grain instead of stair-steps along the shadows' edges. It
// starts march_offset off the surface, so a surface never hides itself behind
// its own, coarsely stored, heights; a caster shades fully from shadow_bias +
// SHADOW_SOFTNESS above the ray.
const float SHADOW_SOFTNESS = 24.0;

// The depth range covers the map grown by this share of its larger side on every
// side: room for objects dragged or raised off the map, while the map itself
// keeps enough of the range to read well in the depth view.
const float DEPTH_MARGIN = 0.5;
// Beyond even that, depths stop just short of the cleared value 1, which GL_LESS
// would reject: such surfaces stay visible, only their mutual order is lost.
const float DEPTH_FARTHEST = 0.99999;

vec3 Safe_Normalize(vec3 v) {
    return v / max(length(v), 1e-6);
}

// Projection-space point of this pixel's surface: the corner position plus the
// floor and height offsets whose picture is the pixel's offset from the corner.
vec3 Surface_Position(vec2 offset, float rise) {
    float along = offset.x;
    float across = (offset.y + height_factor * rise) / projection_factor;
    return vec3(obj_position[0] + along - across, obj_position[1] + along + across, obj_position[2] + rise);
}

vec3 Surface_Normal(vec3 encoded) {
    vec3 normal = encoded * 2.0 - 1.0;
    return Safe_Normalize(vec3(normal.xy * bump_factor, normal.z));
}

// Screen motion of a floor displacement.
vec2 Floor_Picture(vec2 displacement) {
    return vec2(displacement.x + displacement.y, (displacement.y - displacement.x) * projection_factor) * 0.5;
}

// Shadow map coordinates of a picture position. The map repeats every
// (screen_w, screen_h) of the world's picture, row y of the picture in the
// map's row y from the bottom: a power-of-two extent divides exactly, so a point
// reads the same texel whatever the view.
vec2 Map_Coordinates(vec2 picture) {
    return picture / vec2(screen_w, screen_h);
}

// This pixel's centre in the world's picture, output pixels, y down. The
// target's rows count up from its bottom; picture_origin is the world's output
// pixel at the target's left edge and just below its bottom row.
vec2 Picture_Pixel() {
    return vec2(picture_origin_x + gl_FragCoord.x, picture_origin_y - gl_FragCoord.y);
}

// A fixed, evenly spread value in [0, 1) per pixel of the world's picture
// (interleaved gradient noise), so the grain stays on the ground as the view moves.
float Pixel_Jitter() {
    return fract(52.9829189 * fract(dot(Picture_Pixel(), vec2(0.06711056, 0.00583715))));
}

// 1 where the sun reaches the surface, down to 0 behind a taller caster. The
// ray toward the sun climbs over the height field of the shadow map; casters
// farther along it shade less, as the sky fills long shadows.
float Sun_Share(vec3 surface, vec2 floor_picture, vec3 normal, vec3 toward_sun) {
    vec3 start = surface + normal * march_offset;
    // A ray from below the floor would meet flat floors' own footprints.
    start.z = max(start.z, 0.0);
    // The renderer moved the own sprite toward the sun; undo it for this object.
    vec2 shift = vec2(directional_light[0], directional_light[1]) *
                 (shadow_shift * (1.0 - directional_light[2]) * obj_t * height_factor * scale);
    vec2 map_start = Map_Coordinates(floor_picture + Floor_Picture(start.xy - surface.xy + shift));
    vec2 map_step = Floor_Picture(toward_sun.xy) / vec2(screen_w, screen_h);
    float jitter = Pixel_Jitter();
    float shade = 0.0;
    // Rays above the map's highest caster meet nothing, and the map holds every
    // caster a ray of the drawn picture can meet: every step runs without a test.
#ifdef MARCH_STEPS
    for (int step = 1; step <= MARCH_STEPS; ++step) {
        float i = float(step);
#else
    for (float i = 1.0; i <= shadow_steps; i += 1.0) {
#endif
        float share = (i - jitter) / shadow_steps;
        float travel = shadow_reach * share * share;
        float top = dot(texture2D(texture_shadow_map, map_start + map_step * travel).rgb, vec3(shadow_segment));
        float above = top - (start.z + toward_sun.z * travel);
        shade = max(shade, smoothstep(shadow_bias, shadow_bias + SHADOW_SOFTNESS, above) * (1.0 - share * share));
    }
    return 1.0 - shade;
}

// 1 at the light, easing to exactly 0 at its range and beyond (from the squared distance).
float Fall_Off(float gap_squared, float range) {
    if (range <= 0.0) return 0.0;
    float reach = min(gap_squared / (range * range), 1.0);
    float window = 1.0 - reach * reach;
    return window * window;
}

vec3 Point_Light(vec3 surface, vec3 normal, vec3 position, vec3 colour, float range) {
    vec3 to_light = position - surface;
    float gap_squared = dot(to_light, to_light);
    float facing = max(dot(normal, to_light), 0.0) * inversesqrt(max(gap_squared, 1e-12));
    return colour * (facing * Fall_Off(gap_squared, range));
}

// Written out light by light: with constant indices each uniform is read
// directly, where a loop indexing the arrays at run time doubles the frame
// time of a software rasterizer. A block costs even when its light is off,
// so variants compile in only as many as their objects need.
#define POINT_LIGHT(i) if (lights_count > float(i)) sum += Point_Light(surface, normal, vec3(light_x[i], light_y[i], light_z[i]), vec3(light_r[i], light_g[i], light_b[i]), light_range[i]);

vec3 Point_Lights(vec3 surface, vec3 normal) {
    vec3 sum = vec3(0.0);
#if POINT_LIGHTS > 0
    POINT_LIGHT(0)
#endif
#if POINT_LIGHTS > 1
    POINT_LIGHT(1)
#endif
#if POINT_LIGHTS > 2
    POINT_LIGHT(2) POINT_LIGHT(3)
#endif
#if POINT_LIGHTS > 4
    POINT_LIGHT(4) POINT_LIGHT(5) POINT_LIGHT(6) POINT_LIGHT(7)
#endif
#if POINT_LIGHTS > 8
    POINT_LIGHT(8) POINT_LIGHT(9) POINT_LIGHT(10) POINT_LIGHT(11)
    POINT_LIGHT(12) POINT_LIGHT(13) POINT_LIGHT(14) POINT_LIGHT(15)
#endif
#if POINT_LIGHTS > 16
    POINT_LIGHT(16) POINT_LIGHT(17) POINT_LIGHT(18) POINT_LIGHT(19)
    POINT_LIGHT(20) POINT_LIGHT(21) POINT_LIGHT(22) POINT_LIGHT(23)
#endif
    return sum;
}

// Nearer the viewer is higher and more toward +y and -x: the view ray is the
// projection's null direction (1, -1, -projection_factor / height_factor).
// GL keeps the smaller depth, so the nearest point of the map box gets 0.
float View_Depth(vec3 surface) {
    float lift = projection_factor / height_factor;
    float margin = DEPTH_MARGIN * max(map_w, map_h);
    float nearest = map_h + 2.0 * margin + lift * (map_t + margin);
    float farthest = -(map_w + 2.0 * margin + lift * margin);
    float nearness = surface.y - surface.x + lift * surface.z;
    return clamp((nearest - nearness) / max(nearest - farthest, 1.0), 0.0, DEPTH_FARTHEST);
}

// The normal view binds the cooked normal map as the colour image too. Its
// alpha is the height, not the outline, so a flat floor would vanish; no unit
// normal encodes as black, so black is what lies outside the object.
bool Is_Normal_View(vec4 colour, vec4 cooked) {
#ifdef NO_NORMAL_VIEW
    return false;
#else
    return colour == cooked;
#endif
}

vec3 Light_At(vec3 surface, vec2 offset, vec3 normal) {
    vec2 floor_picture = vec2(screen_x, screen_y) + offset + vec2(0.0, height_factor * surface.z);
    vec3 toward_sun = Safe_Normalize(vec3(directional_light[0], directional_light[1], directional_light[2]));
    float sun = max(dot(normal, toward_sun), 0.0) * directional_strength;
#if SHADOW_MARCH
    // Faces turned away from the sun get none anyway: spare them the march.
    if (sun > 0.0) sun *= Sun_Share(surface, floor_picture, normal, toward_sun);
#endif
    vec3 sky = vec3(ambient_light_col[0], ambient_light_col[1], ambient_light_col[2]);
    return sky * (ambient_light + sun) + Point_Lights(surface, normal);
}

// Where the quad's coordinate lies in the sheets.
vec2 Sheet_Coordinates(vec2 st) {
    return vec2(frame_s0, frame_t0) + st * vec2(frame_ds, frame_dt);
}

void main() {
    // st: the position within the frame; the sheets are sampled at the frame's place.
    vec2 st = (Picture_Pixel() - vec2(quad_left, quad_top)) / vec2(quad_width, quad_height);
    st.t = 1.0 - st.t;
    vec2 sheet = Sheet_Coordinates(st);
    vec4 colour = texture2D(texture, sheet);
    vec4 cooked = texture2D(texture_normal, sheet);
    if (Is_Normal_View(colour, cooked)) colour.a = any(greaterThan(colour.rgb, vec3(0.0))) ? 1.0 : 0.0;
    if (colour.a <= alpha_cutoff) discard;
    vec2 offset = vec2(st.s * obj_w, (1.0 - st.t) * obj_h) * scale;
    vec3 surface = Surface_Position(offset, cooked.a * obj_t * scale);
    gl_FragColor = vec4(colour.rgb * Light_At(surface, offset, Surface_Normal(cooked.rgb)), colour.a);
    gl_FragDepth = View_Depth(surface);
}
