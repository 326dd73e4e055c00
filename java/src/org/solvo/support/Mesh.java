// A triangle mesh: vertex positions, faces, and optional per-vertex normals and colours.
package org.solvo.support;

import java.util.Objects;

/**
 * A triangle mesh. Vertex i is at indices 3i to 3i + 2 of {@link #vertices()}; face j joins
 * the vertices at indices 3j to 3j + 2 of {@link #faces()} (read as unsigned numbers). Normals,
 * when present, hold three floats per vertex; colours four bytes (red, green, blue, alpha) per
 * vertex. Immutable: the arrays are copied in and out.
 */
public final class Mesh {
  private final float[] vertices;
  private final int[] faces;
  private final float[] normals;
  private final byte[] colors;

  /**
   * Creates a mesh without normals or colours.
   *
   * @param vertices x, y, z per vertex
   * @param faces three vertex indices per triangle
   * @throws IllegalArgumentException when an array's length is not a multiple of 3
   */
  public Mesh(float[] vertices, int[] faces) {
    this(vertices, faces, null, null);
  }

  /**
   * Creates a mesh with per-vertex normals, colours or both.
   *
   * @param vertices x, y, z per vertex
   * @param faces three vertex indices per triangle
   * @param normals x, y, z per vertex, or {@code null} for none
   * @param colors red, green, blue, alpha per vertex, or {@code null} for none
   * @throws IllegalArgumentException when the arrays' lengths do not fit each other
   */
  public Mesh(float[] vertices, int[] faces, float[] normals, byte[] colors) {
    Objects.requireNonNull(vertices, "vertices");
    Objects.requireNonNull(faces, "faces");
    Checks.groups(vertices.length, 3, "vertices");
    Checks.groups(faces.length, 3, "faces");
    int vertexCount = vertices.length / 3;
    if (normals != null && normals.length != vertices.length) {
      throw new IllegalArgumentException(
          "normals must hold 3 values per vertex: " + vertices.length + ", not " + normals.length);
    }
    if (colors != null && colors.length != 4L * vertexCount) {
      throw new IllegalArgumentException(
          "colors must hold 4 values per vertex: " + 4L * vertexCount + ", not " + colors.length);
    }
    this.vertices = vertices.clone();
    this.faces = faces.clone();
    this.normals = normals == null ? null : normals.clone();
    this.colors = colors == null ? null : colors.clone();
  }

  /** Returns the number of vertices. */
  public int vertexCount() {
    return vertices.length / 3;
  }

  /** Returns the number of triangles. */
  public int faceCount() {
    return faces.length / 3;
  }

  /** Returns x, y, z per vertex (a new array). */
  public float[] vertices() {
    return vertices.clone();
  }

  /** Returns three vertex indices per triangle (a new array). */
  public int[] faces() {
    return faces.clone();
  }

  /** Returns x, y, z of each vertex's normal (a new array), or {@code null} when there are none. */
  public float[] normals() {
    return normals == null ? null : normals.clone();
  }

  /** Returns red, green, blue, alpha per vertex (a new array), or {@code null} for none. */
  public byte[] colors() {
    return colors == null ? null : colors.clone();
  }

  float[] verticesArray() {
    return vertices;
  }

  int[] facesArray() {
    return faces;
  }

  float[] normalsArray() {
    return normals;
  }

  byte[] colorsArray() {
    return colors;
  }
}
