// Mesh simplification by quadric-error edge collapse, with progress and cancellation.
package org.solvo.support;

import java.util.Objects;
import java.util.concurrent.CancellationException;

/**
 * Simplifies triangle meshes. The input is repaired first (faces with an index out of range,
 * degenerate faces and faces that fit no consistent orientation are dropped, unused vertices
 * are dropped, vertices where separate fans meet are split), so the output's counts may differ
 * from the input's even when nothing collapses. The tuning flags {@code max_mesh_angle_cos},
 * {@code mesh_edge_length_weight}, {@code mesh_max_angle_normal_weight} and {@code
 * min_mesh_normal_flip_cos} shape the collapses (see {@link TuningFlags}).
 */
public final class MeshSimplifier {
  static {
    NativeLibrary.load();
  }

  private MeshSimplifier() {}

  /**
   * Returns {@code mesh} simplified to at most {@code targetFaces} triangles, keeping normals
   * and colours per surviving vertex; a target at or above the face count gives a copy. A target
   * of 0 collapses as far as is safe. The listener, if any, is called on this thread.
   *
   * @param mesh the mesh to simplify; every vertex position finite
   * @param targetFaces the most triangles to keep, at least 0
   * @param listener told of the progress, or {@code null}
   * @return the simplified mesh
   * @throws CancellationException when the listener returned {@code false}
   * @throws IllegalArgumentException when {@code targetFaces} is negative or the library
   *     refuses the mesh (the message is its error line)
   * @throws OutOfMemoryError when the library could not have the memory for the work
   */
  public static Mesh simplify(Mesh mesh, int targetFaces, ProgressListener listener) {
    Objects.requireNonNull(mesh, "mesh");
    if (targetFaces < 0) {
      throw new IllegalArgumentException("targetFaces must not be negative: " + targetFaces);
    }
    Object[] arrays =
        nativeSimplify(
            mesh.verticesArray(),
            mesh.facesArray(),
            mesh.normalsArray(),
            mesh.colorsArray(),
            targetFaces,
            listener);
    return new Mesh((float[]) arrays[0], (int[]) arrays[1], (float[]) arrays[2], (byte[]) arrays[3]);
  }

  /** Returns vertices, faces, normals (or null) and colours (or null) of the output. */
  private static native Object[] nativeSimplify(
      float[] vertices,
      int[] faces,
      float[] normals,
      byte[] colors,
      int targetFaces,
      ProgressListener listener);
}
